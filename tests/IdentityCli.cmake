# Runs brakkle-identity as a user would: it exits 0 and prints what a host
# reads from the module (factory, class records and IDs, controller, buses).
execute_process(COMMAND "${IDENTITY}"
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE error)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "brakkle-identity exited with '${result}', expected 0\n${output}${error}")
endif()

string(REPLACE "." "\\." version "${VERSION}")
set(expected "vendor \"Halvorn\"[^#]*class 0: \"Brakkle\" by \"Halvorn\", Audio Module Class \\[Fx\\], version ${version}, VST 3\\.7\\.12[^#]*id ABCDEF01 9182FAEB 486C766E 42726B6C[^#]*controller ABCDEF01 1234ABCD 486C766E 42726B6C[^#]*event input buses: 0")
if(NOT "${output}${error}" MATCHES "${expected}")
    message(FATAL_ERROR "brakkle-identity did not print what a host sees:\n${output}${error}")
endif()
