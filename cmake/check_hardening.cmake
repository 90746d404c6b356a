# Fails when a built ELF file has lost a hardening mark:
#   cmake -DLIBRARY=file.so -DPROGRAM=file [-DREADELF=readelf] -P check_hardening.cmake
# Each file must have its relocations read-only after load (GNU_RELRO) and
# bound at load (BIND_NOW, or NOW among the flags), import the stack
# protector's failure call and at least one checked libc call (__*_chk); the
# program must be position independent. What readelf cannot tell (stack clash
# probes exist only in functions with big frames) is left to the build flags.
if(NOT READELF)
  find_program(READELF readelf REQUIRED)
endif()

set(_missing)

function(read_elf file what out)
  execute_process(COMMAND ${READELF} ${what} -W ${file} OUTPUT_VARIABLE text RESULT_VARIABLE rc ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${READELF} ${what} ${file}: ${err}")
  endif()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

function(expect file text regex mark)
  if(NOT text MATCHES "${regex}")
    set(_missing ${_missing} "${file}: ${mark}" PARENT_SCOPE)
  endif()
endfunction()

function(check file)
  read_elf(${file} -l program)
  read_elf(${file} -d dynamic)
  read_elf(${file} --dyn-syms symbols)
  expect(${file} "${program}" "GNU_RELRO" "no read-only relocations (-z relro)")
  expect(${file} "${dynamic}" "\\(BIND_NOW\\)|\\(FLAGS(_1)?\\)[^\n]*NOW" "no immediate binding (-z now)")
  expect(${file} "${symbols}" "UND __stack_chk_fail" "no stack protector (-fstack-protector-strong)")
  expect(${file} "${symbols}" "UND __[a-z0-9_]+_chk@" "no checked libc call (-D_FORTIFY_SOURCE)")
  set(_missing ${_missing} PARENT_SCOPE)
endfunction()

check(${LIBRARY})
check(${PROGRAM})
read_elf(${PROGRAM} -l program)
expect(${PROGRAM} "${program}" "Elf file type is DYN.*[\n] +PHDR" "not position independent (-pie)")

if(_missing)
  list(JOIN _missing "\n  " _text)
  message(FATAL_ERROR "hardening lost:\n  ${_text}")
endif()
message(STATUS "hardened: ${LIBRARY} ${PROGRAM}")
