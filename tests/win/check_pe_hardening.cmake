# Checks the Windows DLL for the hardening of cmake/hardening.cmake: an image
# the loader may place anywhere in the 64-bit address space, with data never
# executed, and the stack protector linked in (its runtime's message is in it).
# Usage: cmake -DOBJDUMP=<objdump> -DLIB=<dll> -P check_pe_hardening.cmake
execute_process(COMMAND ${OBJDUMP} -p ${LIB} OUTPUT_VARIABLE out RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} -p failed on ${LIB}")
endif()
set(missing)
foreach(mark DYNAMIC_BASE NX_COMPAT HIGH_ENTROPY_VA)
  if(NOT out MATCHES "DllCharacteristics[^\n]*\n([\t ]+[A-Z_]+\n)*[\t ]+${mark}\n")
    list(APPEND missing ${mark})
  endif()
endforeach()
file(STRINGS ${LIB} protector LIMIT_COUNT 1 REGEX "stack smashing detected")
if(NOT protector)
  list(APPEND missing "stack protector")
endif()
if(missing)
  message(FATAL_ERROR "${LIB} lacks: ${missing}")
endif()
message(STATUS "${LIB}: DYNAMIC_BASE, NX_COMPAT, HIGH_ENTROPY_VA, stack protector")
