# Runs brakkle-render as a user would: bad input gives a one-line error and a
# non-zero exit, never a crash, and the input file is never overwritten.
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
file(WRITE "${WORK}/input.wav" "not really a wav file")

function(expect_failure expected_text)
    execute_process(COMMAND "${RENDER}" ${ARGN}
                    RESULT_VARIABLE result ERROR_VARIABLE error OUTPUT_VARIABLE output
                    WORKING_DIRECTORY "${WORK}")
    if(result EQUAL 0 OR NOT result MATCHES "^[0-9]+$")
        message(FATAL_ERROR "brakkle-render ${ARGN}: expected a clean failure, got '${result}'\n${error}")
    endif()
    string(FIND "${error}" "${expected_text}" at)
    if(at EQUAL -1)
        message(FATAL_ERROR "brakkle-render ${ARGN}: expected '${expected_text}' in: ${error}")
    endif()
endfunction()

expect_failure("no such file" --in missing.wav --out out.wav)
expect_failure("not a readable WAV" --in input.wav --out out.wav)
expect_failure("must not be the input" --in input.wav --out ./input.wav)
expect_failure("unknown parameter" --out out.wav --param wobble=1)
expect_failure("the range is -24 to 24" --out out.wav --param input=30)
expect_failure("no plug-in bundle" --out out.wav --bundle nowhere.vst3)

file(READ "${WORK}/input.wav" still)
if(NOT still STREQUAL "not really a wav file")
    message(FATAL_ERROR "the input file was changed")
endif()
if(EXISTS "${WORK}/out.wav")
    message(FATAL_ERROR "a failed render left an output file")
endif()

# And a good render writes a file.
execute_process(COMMAND "${RENDER}" --out demo.wav --bars 1 --param stutterTimeBpm=1/16
                RESULT_VARIABLE result ERROR_VARIABLE error WORKING_DIRECTORY "${WORK}")
if(NOT result EQUAL 0 OR NOT EXISTS "${WORK}/demo.wav")
    message(FATAL_ERROR "rendering the synthesised loop failed: ${error}")
endif()
