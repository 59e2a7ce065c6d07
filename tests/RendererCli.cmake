# Runs brakkle-render as a user would: bad input gives a one-line error and a
# non-zero exit, never a crash, and the input file is never overwritten.
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
file(WRITE "${WORK}/input.wav" "not really a wav file")

function(expect_failure expected_text)
    execute_process(COMMAND "${RENDER}" ${ARGN}
                    RESULT_VARIABLE result ERROR_VARIABLE error OUTPUT_VARIABLE output
                    WORKING_DIRECTORY "${WORK}" TIMEOUT 60)
    if(result EQUAL 0 OR NOT result MATCHES "^[0-9]+$")
        message(FATAL_ERROR "brakkle-render ${ARGN}: expected a clean failure, got '${result}'\n${error}")
    endif()
    string(FIND "${error}" "${expected_text}" at)
    if(at EQUAL -1)
        message(FATAL_ERROR "brakkle-render ${ARGN}: expected '${expected_text}' in: ${error}")
    endif()
    string(STRIP "${error}" said)
    if(said MATCHES "\n")
        message(FATAL_ERROR "brakkle-render ${ARGN}: expected a one-line error, got:\n${error}")
    endif()
endfunction()

# --help is an answer, not an error, and names every option.
execute_process(COMMAND "${RENDER}" --help RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE error)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "brakkle-render --help: expected the usage and exit 0, got '${result}'\n${output}${error}")
endif()
foreach(option --bits --stopped --preroll-hold --loop --loop-unreported --no-tempo "ramp=")
    string(FIND "${output}" "${option}" at)
    if(at EQUAL -1)
        message(FATAL_ERROR "brakkle-render --help does not mention ${option}:\n${output}")
    endif()
endforeach()

expect_failure("no such file" --in missing.wav --out out.wav)
expect_failure("not a readable WAV" --in input.wav --out out.wav)
expect_failure("must not name the input" --in input.wav --out ./input.wav)
expect_failure("unknown parameter" --out out.wav --param wobble=1)
expect_failure("the range is -24 to 24" --out out.wav --param input=30)
expect_failure("the range is 0 to 15: 0/16 to 15/16" --out out.wav --param fillOffset=16/16)
expect_failure("(a percentage like 50 % also works)" --out out.wav --param fillChance=often)
expect_failure("value of fillSeed is not a number" --out out.wav --param fillSeed=lucky)
expect_failure("no plug-in bundle" --out out.wav --bundle nowhere.vst3)
expect_failure("--meter takes a time signature" --out out.wav --meter 7/9)
expect_failure("--start takes a position in beats" --out out.wav --start -4)
expect_failure("--preroll takes a whole number of samples" --out out.wav --preroll 12.5)
expect_failure("--preroll-hold needs a --preroll" --out out.wav --preroll-hold)
expect_failure("--loop takes two song positions in beats" --out out.wav --loop 8,4)
expect_failure("--loop takes two song positions in beats" --out out.wav --loop 4)
expect_failure("--loop-unreported needs a --loop" --out out.wav --loop-unreported)
expect_failure("--bits takes 16, 24 or 32" --out out.wav --bits 8)
expect_failure("see --help" --out out.wav --wobble)

# Preset files: one that is no Brakkle preset is refused (nothing changes, no
# output); one with values out of range, not numbers or unknown names loads as
# a saved project would, clamped, and says so.
file(WRITE "${WORK}/not-xml.xml" "not xml at all")
file(WRITE "${WORK}/truncated.xml" "<?xml version=\"1.0\"?><PARAMETERS><PARAM id=\"mix\" value=\"5")
file(WRITE "${WORK}/foreign.xml" "<?xml version=\"1.0\"?><OtherPlugin><PARAM id=\"gain\" value=\"1\"/></OtherPlugin>")
foreach(bad not-xml truncated foreign)
    expect_failure("not a Brakkle preset" --out out.wav --preset ${bad}.xml)
endforeach()
expect_failure("no preset \"nowhere\"" --out out.wav --preset nowhere)
file(WRITE "${WORK}/clamped.xml"
     "<?xml version=\"1.0\"?>\n<PARAMETERS><PARAM id=\"mix\" value=\"150\"/><PARAM id=\"wobble\" value=\"3\"/></PARAMETERS>")
execute_process(COMMAND "${RENDER}" --out clamped.wav --bars 1 --preset clamped.xml
                RESULT_VARIABLE result ERROR_VARIABLE error WORKING_DIRECTORY "${WORK}")
if(NOT result EQUAL 0 OR NOT EXISTS "${WORK}/clamped.wav")
    message(FATAL_ERROR "a preset with a value out of range should load clamped: ${error}")
endif()
foreach(said "Mix 150 is out of range, set to 100" "unknown parameter \"wobble\" ignored")
    string(FIND "${error}" "${said}" at)
    if(at EQUAL -1)
        message(FATAL_ERROR "loading clamped.xml should say '${said}', said: ${error}")
    endif()
endforeach()
file(REMOVE "${WORK}/clamped.wav")

# A preset nested deeper than any saved state could be (it overflowed the
# stack of JUCE's XML reader), or larger than any, is refused before it is read.
string(REPEAT "<PARAM>" 28000 levels)
file(WRITE "${WORK}/deep.xml" "<?xml version=\"1.0\"?>\n<PARAMETERS>${levels}")
expect_failure("deep.xml: not a Brakkle preset" --out out.wav --preset deep.xml)
string(REPEAT " " 300000 spaces)
file(WRITE "${WORK}/large.xml" "<?xml version=\"1.0\"?>\n<PARAMETERS><PARAM id=\"mix\" value=\"5\"/></PARAMETERS>${spaces}")
expect_failure("large.xml: larger than any preset can be" --out out.wav --preset large.xml)

# Only regular files are read, never waited on: not a device, a pipe, a link
# to one or a folder, and such entries in the presets folder are not listed.
# A file there named after a factory preset is not listed either: that name
# means the factory preset.
set(data_home "${WORK}/data")
set(presets "${data_home}/Brakkle/Presets")
file(MAKE_DIRECTORY "${presets}/Folder.xml")
execute_process(COMMAND mkfifo "${presets}/Pipe.xml" RESULT_VARIABLE made)
if(NOT made EQUAL 0)
    message(FATAL_ERROR "mkfifo failed")
endif()
file(CREATE_LINK /dev/zero "${presets}/Zero.xml" SYMBOLIC)
file(WRITE "${presets}/Mine.xml" "<?xml version=\"1.0\"?>\n<PARAMETERS><PARAM id=\"mix\" value=\"50\"/></PARAMETERS>")
file(WRITE "${presets}/Machine Gun.xml" "<?xml version=\"1.0\"?>\n<PARAMETERS><PARAM id=\"mix\" value=\"50\"/></PARAMETERS>")
set(ENV{XDG_DATA_HOME} "${data_home}")
execute_process(COMMAND "${RENDER}" --list-presets RESULT_VARIABLE result OUTPUT_VARIABLE listed ERROR_VARIABLE error TIMEOUT 60)
string(REGEX REPLACE "^.*Your presets[^\n]*\n" "" yours "${listed}")
if(NOT result EQUAL 0 OR NOT yours STREQUAL "  Mine\n")
    message(FATAL_ERROR "--list-presets should list only Mine among your presets, listed:\n${listed}${error}")
endif()
foreach(name Pipe Zero Folder)
    expect_failure("${name}: not a regular file" --out out.wav --preset ${name})
endforeach()
foreach(file /dev/zero data/Brakkle/Presets/Pipe.xml data/Brakkle/Presets/Zero.xml)
    expect_failure("not a regular file" --out out.wav --preset ${file})
endforeach()
unset(ENV{XDG_DATA_HOME})

# A value that is no number: as if the preset did not name it, the default
# (Mix 100), so the render is the one without a preset.
file(WRITE "${WORK}/words.xml" "<?xml version=\"1.0\"?>\n<PARAMETERS><PARAM id=\"mix\" value=\"abc\"/></PARAMETERS>")
execute_process(COMMAND "${RENDER}" --out words.wav --bars 1 --preset words.xml
                RESULT_VARIABLE result ERROR_VARIABLE error WORKING_DIRECTORY "${WORK}")
string(FIND "${error}" "Mix \"abc\" is no number, set to its default 100" at)
if(NOT result EQUAL 0 OR at EQUAL -1)
    message(FATAL_ERROR "a preset with mix=\"abc\" should load Mix's default and say so: ${error}")
endif()
execute_process(COMMAND "${RENDER}" --out defaults.wav --bars 1 --quiet RESULT_VARIABLE result WORKING_DIRECTORY "${WORK}")
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files "${WORK}/words.wav" "${WORK}/defaults.wav" RESULT_VARIABLE differ)
if(NOT result EQUAL 0 OR NOT differ EQUAL 0)
    message(FATAL_ERROR "mix=\"abc\" rendered otherwise than the defaults")
endif()
file(REMOVE "${WORK}/words.wav" "${WORK}/defaults.wav")

file(READ "${WORK}/input.wav" still)
if(NOT still STREQUAL "not really a wav file")
    message(FATAL_ERROR "the input file was changed")
endif()
if(EXISTS "${WORK}/out.wav")
    message(FATAL_ERROR "a failed render left an output file")
endif()

# And a good render writes a file, the same one through every format.
foreach(format vst3 lv2 clap)
    execute_process(COMMAND "${RENDER}" --out demo-${format}.wav --format ${format} --bars 1 --param stutterTimeBpm=1/16
                    RESULT_VARIABLE result ERROR_VARIABLE error WORKING_DIRECTORY "${WORK}")
    if(NOT result EQUAL 0 OR NOT EXISTS "${WORK}/demo-${format}.wav")
        message(FATAL_ERROR "rendering the synthesised loop through the ${format} bundle failed: ${error}")
    endif()
endforeach()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files "${WORK}/demo-vst3.wav" "${WORK}/demo-lv2.wav" RESULT_VARIABLE differ)
if(NOT differ EQUAL 0)
    message(FATAL_ERROR "the VST3 and the LV2 bundle rendered different files")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files "${WORK}/demo-vst3.wav" "${WORK}/demo-clap.wav" RESULT_VARIABLE differ)
if(NOT differ EQUAL 0)
    message(FATAL_ERROR "the VST3 bundle and the CLAP file rendered different files")
endif()

# What a host reads from the CLAP file, without rendering.
execute_process(COMMAND "${RENDER}" --describe --format clap
                RESULT_VARIABLE result OUTPUT_VARIABLE said ERROR_VARIABLE error WORKING_DIRECTORY "${WORK}")
foreach(line "CLAP plug-in \"Brakkle\" by Halvorn" "CLAP ID com.halvorn.brakkle, features audio-effect, glitch, stereo, mono"
             "25 parameters" "Stutter Time BPM: \"1/8 D\"" "Offset: \"0/16\", \"0/16\"; 0 to 15, stepped")
    string(FIND "${said}" "${line}" at)
    if(NOT result EQUAL 0 OR at EQUAL -1)
        message(FATAL_ERROR "--describe --format clap does not say \"${line}\": ${said}${error}")
    endif()
endforeach()

# Pictures: the plot and the editor, at their sizes.
function(expect_png file width height)
    if(NOT EXISTS "${file}")
        message(FATAL_ERROR "missing ${file}")
    endif()
    file(READ "${file}" header OFFSET 16 LIMIT 8 HEX)
    string(SUBSTRING "${header}" 0 8 w_hex)
    string(SUBSTRING "${header}" 8 8 h_hex)
    math(EXPR w "0x${w_hex}")
    math(EXPR h "0x${h_hex}")
    if(NOT w EQUAL ${width} OR NOT h EQUAL ${height})
        message(FATAL_ERROR "${file} is ${w} x ${h}, expected ${width} x ${height}")
    endif()
endfunction()

file(WRITE "${WORK}/changes.txt" "0 stutterTimeBpm=1/16\n2b filterMix=100\n1.5s stop\n1.75s play\n1.8s fillGate=4/16\n1.9s fillChance=50 %\n")
execute_process(COMMAND "${RENDER}" --out pictured.wav --bars 1 --quiet --schedule changes.txt
                        --plot pictured.png --editor-shot window.png --param stutterSync=off
                RESULT_VARIABLE result ERROR_VARIABLE error WORKING_DIRECTORY "${WORK}")
if(NOT result EQUAL 0)
    message(FATAL_ERROR "rendering with a schedule and pictures failed: ${error}")
endif()
expect_png("${WORK}/pictured.png" 1600 900)
expect_png("${WORK}/window.png" 800 600)

file(WRITE "${WORK}/bad.txt" "0 play\nlater stop\n")
expect_failure("bad.txt, line 2: \"later\" is not a time" --out never.wav --schedule bad.txt)
file(WRITE "${WORK}/badlocate.txt" "0 play\n1 locate=soon\n")
expect_failure("badlocate.txt, line 2: locate takes a song position" --out never.wav --schedule badlocate.txt)
file(WRITE "${WORK}/badramp.txt" "0 play\n\n1 ramp=140\n")
expect_failure("badramp.txt, line 3: ramp takes a tempo from 1 to 999 and a length" --out never.wav --schedule badramp.txt)

# Hosts that loop inside blocks (with and without reporting it), hold their
# pre-roll, ramp their tempo or give none, and fills given as the window shows
# them: each renders, with its picture.
file(WRITE "${WORK}/ramp.txt" "0 ramp=140,8b\n")
set(host_cases
    "looped: --loop 1,2.875"
    "looped-unreported: --loop 1,2.875 --loop-unreported"
    "held: --preroll 1100 --preroll-hold --block 1024"
    "ramped: --bpm 100 --schedule ramp.txt"
    "no-tempo: --no-tempo"
    "fills: --param refreshTimeBpm=\"1 BAR\" --param fillOffset=12/16 --param fillGate=4/16 --param \"fillChance=50 %\" --param fillSeed=7")
foreach(host_case IN LISTS host_cases)
    string(REGEX REPLACE ":.*" "" name "${host_case}")
    string(REGEX REPLACE "^[^:]*: " "" arguments "${host_case}")
    separate_arguments(fields UNIX_COMMAND "${arguments}")
    execute_process(COMMAND "${RENDER}" --out ${name}.wav --bars 1 --quiet --param gridLock=on --plot ${name}.png ${fields}
                    RESULT_VARIABLE result ERROR_VARIABLE error WORKING_DIRECTORY "${WORK}")
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "rendering ${name} (${fields}) failed: ${error}")
    endif()
    expect_png("${WORK}/${name}.png" 1600 900)
endforeach()

# A host's pre-roll, as the README shows it: with Grid Lock on the file is the
# same, byte for byte, as without the pre-roll.
function(render_with_grid_lock name)
    execute_process(COMMAND "${RENDER}" --out ${name}.wav --bars 1 --quiet --param gridLock=on ${ARGN}
                    RESULT_VARIABLE result ERROR_VARIABLE error WORKING_DIRECTORY "${WORK}")
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "rendering with Grid Lock (${name}) failed: ${error}")
    endif()
endfunction()
render_with_grid_lock(preroll --preroll 1776)
render_with_grid_lock(plain)
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files "${WORK}/preroll.wav" "${WORK}/plain.wav" RESULT_VARIABLE differ)
if(NOT differ EQUAL 0)
    message(FATAL_ERROR "with Grid Lock on, --preroll 1776 changed the render")
endif()

# A host that reports no tempo: Grid Lock on renders the same file as off.
render_with_grid_lock(no-tempo-on --no-tempo --bpm 90 --start 0.5)
execute_process(COMMAND "${RENDER}" --out no-tempo-off.wav --bars 1 --quiet --no-tempo --bpm 90 --start 0.5
                RESULT_VARIABLE result ERROR_VARIABLE error WORKING_DIRECTORY "${WORK}")
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files "${WORK}/no-tempo-on.wav" "${WORK}/no-tempo-off.wav" RESULT_VARIABLE differ)
if(NOT result EQUAL 0 OR NOT differ EQUAL 0)
    message(FATAL_ERROR "with --no-tempo, Grid Lock on changed the render: ${error}")
endif()
