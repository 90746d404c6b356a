// Every header of the HTTP layer's offered interface at once, for code that
// has not yet moved to the headers of the pieces it uses (buf.h, headers.h,
// content_range.h, collect.h, transports.h, fake.h, md5.h).
#pragma once
#include "http/buf.h"
#include "http/collect.h"
#include "http/content_range.h"
#include "http/fake.h"
#include "http/headers.h"
#include "http/md5.h"
#include "http/transports.h"
