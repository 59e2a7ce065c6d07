# The LV2 bundle as LV2's own tools read it (Debian: lilv-utils, sordi, lv2-dev).
#
#   cmake -DCHECK=validate -DSORD_VALIDATE=<sord_validate> -DBUNDLE=<Brakkle.lv2>
#         -DSCHEMAS=<folder holding LV2's schema bundles, core.lv2 ...> -P CheckLv2Bundle.cmake
#       Validates the bundle's Turtle against the LV2 schemas. JUCE's generator
#       writes a few statements every JUCE plug-in has that the schemas do not
#       allow; they are listed below, named in the output and allowed. Any other
#       error fails.
#
#   cmake -DCHECK=list -DLV2LS=<lv2ls> -DLV2INFO=<lv2info> -DBUNDLE=<Brakkle.lv2>
#         -DSCHEMAS=<folder> -DURI=<plug-in URI> -P CheckLv2Bundle.cmake
#       With LV2_PATH naming the bundle's folder first (then LV2's own bundles,
#       so that classes have names), lv2ls must list the URI and lv2info must
#       show the plug-in as a delay effect by Halvorn with its X11 window.

cmake_minimum_required(VERSION 3.22)

foreach(arg CHECK BUNDLE SCHEMAS)
    if(NOT DEFINED ${arg} OR "${${arg}}" STREQUAL "")
        message(FATAL_ERROR "CheckLv2Bundle.cmake: -D${arg}=... is missing")
    endif()
endforeach()

file(GLOB bundle_ttl "${BUNDLE}/*.ttl")
if(NOT bundle_ttl)
    message(FATAL_ERROR "no Turtle files in ${BUNDLE}: build Brakkle_LV2 first")
endif()

# LV2's vocabularies the bundle's Turtle uses, and the schemas that define RDF,
# RDFS, OWL, XSD, DOAP and FOAF for them.
set(vocabularies atom buf-size core event instance-access midi options parameters patch port-groups
                   port-props presets resize-port state time ui units urid schemas)
set(schema_ttl "")
foreach(name IN LISTS vocabularies)
    file(GLOB ttl "${SCHEMAS}/${name}.lv2/*.ttl")
    if(NOT ttl)
        message(FATAL_ERROR "no ${SCHEMAS}/${name}.lv2: install LV2's schema bundles (Debian: lv2-dev)")
    endif()
    list(APPEND schema_ttl ${ttl})
endforeach()

if(CHECK STREQUAL "validate")
    execute_process(COMMAND "${SORD_VALIDATE}" ${schema_ttl} ${bundle_ttl}
                    OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE status)
    set(report "${out}${err}")

    # Each error: "error: <what>", then its subject, predicate and object, one a line.
    string(REGEX MATCHALL "error: [^\n]*\n(\n)?[ ]+[^\n]*\n[ ]+[^\n]*\n[ ]+[^\n]*" errors "${report}")
    set(known "")
    set(unknown "")
    foreach(error IN LISTS errors)
        string(REGEX REPLACE "\n+[ ]+" " | " line "${error}")
        if(line MATCHES "^error: Subject not in domain <http://lv2plug.in/ns/lv2core#Port> \\| urn:[^ ]+ \\| http://lv2plug.in/ns/lv2core#portProperty \\| http://lv2plug.in/ns/lv2core#(enumeration|toggled)$")
            # JUCE marks stepped parameters lv2:enumeration and switches
            # lv2:toggled; LV2 defines those for ports, but hosts (JUCE's
            # among them) read them on parameters too.
            list(APPEND known "${line}")
        elseif(line MATCHES "^error: Subject not in domain <http://usefulinc.com/ns/doap#Project> \\| urn:[^ ]+ \\| http://usefulinc.com/ns/doap#(maintainer|release) \\| ")
            # JUCE names the maker and the release with DOAP terms, as hosts
            # read them; the schemas do not make an lv2:Plugin a doap:Project.
            list(APPEND known "${line}")
        else()
            list(APPEND unknown "${line}")
        endif()
    endforeach()

    string(REGEX MATCH "Found [0-9]+ errors?[^\n]*" summary "${report}")
    list(LENGTH errors found)
    list(LENGTH known allowed)
    message("sord_validate: ${summary}")
    foreach(line IN LISTS known)
        message("  known, JUCE's: ${line}")
    endforeach()

    if(unknown)
        list(JOIN unknown "\n  " unknown_text)
        message(FATAL_ERROR "sord_validate finds errors in the bundle:\n  ${unknown_text}\n${report}")
    endif()
    if(NOT status EQUAL 0 AND NOT found EQUAL allowed)
        message(FATAL_ERROR "sord_validate failed (status ${status}) with output it did not explain:\n${report}")
    endif()
    if(NOT summary MATCHES "^Found ${found} error" AND found GREATER 0)
        message(FATAL_ERROR "sord_validate counts other errors than those read here:\n${report}")
    endif()

elseif(CHECK STREQUAL "list")
    foreach(arg LV2LS LV2INFO URI)
        if(NOT DEFINED ${arg} OR "${${arg}}" STREQUAL "")
            message(FATAL_ERROR "CheckLv2Bundle.cmake: -D${arg}=... is missing")
        endif()
    endforeach()

    get_filename_component(folder "${BUNDLE}" DIRECTORY)
    set(ENV{LV2_PATH} "${folder}:${SCHEMAS}")

    execute_process(COMMAND "${LV2LS}" OUTPUT_VARIABLE listed RESULT_VARIABLE status)
    if(NOT status EQUAL 0 OR NOT listed MATCHES "(^|\n)${URI}\n")
        message(FATAL_ERROR "lv2ls does not list ${URI}:\n${listed}")
    endif()

    execute_process(COMMAND "${LV2INFO}" "${URI}" OUTPUT_VARIABLE info ERROR_VARIABLE errors RESULT_VARIABLE status)
    message("lv2info ${URI}:\n${info}")
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "lv2info failed: ${errors}")
    endif()
    foreach(expected
            "\n[ \t]*Name:[ \t]+Brakkle\n"
            "\n[ \t]*Class:[ \t]+Delay Plugin\n"
            "\n[ \t]*Author:[ \t]+Halvorn\n"
            "\n[ \t]*Author Email:[ \t]+mailto:support@halvorn.example\n"
            "Class:[ \t]+http://lv2plug.in/ns/extensions/ui#X11UI\n"
            "Extension Data:[ \t]+http://lv2plug.in/ns/ext/state#interface\n"
            "Symbol:[ \t]+audio_in_2\n"
            "Symbol:[ \t]+audio_out_2\n")
        if(NOT info MATCHES "${expected}")
            message(FATAL_ERROR "lv2info does not show \"${expected}\"")
        endif()
    endforeach()
    foreach(file "file://${BUNDLE}/\n" "file://${BUNDLE}/Brakkle.so\n")
        string(FIND "${info}" "${file}" at)
        if(at EQUAL -1)
            message(FATAL_ERROR "lv2info does not show ${file} (another bundle of the plug-in found first?)")
        endif()
    endforeach()
    if(info MATCHES "Symbol:[ \t]+audio_in_3")
        message(FATAL_ERROR "lv2info shows more than two audio inputs")
    endif()

else()
    message(FATAL_ERROR "CheckLv2Bundle.cmake: -DCHECK=validate or -DCHECK=list")
endif()
