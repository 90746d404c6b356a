// What a 401 answer tells about the credentials a source carried. The
// library's message names the request that was refused and no more; the tool
// knows the settings it gave, so it can say whether any credentials went out.
#pragma once
#include <string>

namespace vqt {

// The note that follows the library's message when it reads "HTTP 401 from
// URL": whether the settings' credentials (the user name and password in
// "URL", an "Authorization" line in "Headers") were sent to the server that
// refused, were not sent there (another origin than the settings' URL), or
// there were none. "" for every other message.
std::string unauthorized_note(const std::string &settings, const std::string &message);

}  // namespace vqt
