# cmake -DMODULE=<Brakkle.so>[,<Brakkle.so>...] -DREADELF=<readelf> [-DLDD=<ldd>]
#       -DALLOWED=<name,...> [-DSYSTEM_EXTRAS=<name,...>] -P CheckBundleLibraries.cmake
#
# For each module (the VST3 and the LV2 bundle's, the CLAP file), reads the libraries it asks
# the loader for (its NEEDED entries) and fails on any whose name, without
# ".so..." and version, is in neither list.
# SYSTEM_EXTRAS are allowed too but named: what a JUCE tree that uses the
# system's libraries adds. With LDD, also prints what ldd resolves (those
# libraries' own needs included) and fails if one of them is not found.

cmake_minimum_required(VERSION 3.22)

foreach(arg MODULE READELF ALLOWED)
    if(NOT DEFINED ${arg} OR "${${arg}}" STREQUAL "")
        message(FATAL_ERROR "CheckBundleLibraries.cmake: -D${arg}=... is missing")
    endif()
endforeach()
string(REPLACE "," ";" modules "${MODULE}")
string(REPLACE "," ";" allowed "${ALLOWED}")
string(REPLACE "," ";" extras "${SYSTEM_EXTRAS}")

foreach(MODULE IN LISTS modules)
    if(NOT EXISTS "${MODULE}")
        message(FATAL_ERROR "no module at ${MODULE}: build Brakkle_VST3, Brakkle_LV2 and Brakkle_CLAP first")
    endif()

    execute_process(COMMAND "${READELF}" -d "${MODULE}"
                    OUTPUT_VARIABLE dynamic RESULT_VARIABLE status ERROR_VARIABLE errors)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "${READELF} -d ${MODULE} failed: ${errors}")
    endif()

    string(REGEX MATCHALL "\\(NEEDED\\)[^\n]*\\[[^]\n]+\\]" lines "${dynamic}")
    set(needed "")
    set(named "")
    set(refused "")
    foreach(line IN LISTS lines)
        string(REGEX REPLACE ".*\\[([^]]+)\\]$" "\\1" library "${line}")
        list(APPEND needed "${library}")
        string(REGEX REPLACE "\\.so(\\..*)?$" "" stem "${library}")
        if(stem IN_LIST allowed)
        elseif(stem IN_LIST extras)
            list(APPEND named "${library}")
        else()
            list(APPEND refused "${library}")
        endif()
    endforeach()

    if(NOT needed)
        message(FATAL_ERROR "${MODULE} has no NEEDED entries: is it a shared library?")
    endif()

    list(JOIN needed " " needed_text)
    message("brakkle bundle: ${MODULE}")
    message("brakkle bundle needs: ${needed_text}")

    if(LDD)
        execute_process(COMMAND "${LDD}" "${MODULE}" OUTPUT_VARIABLE resolved RESULT_VARIABLE status)
        string(REGEX REPLACE "\n$" "" resolved "${resolved}")
        message("brakkle bundle ldd:\n${resolved}")
        if(NOT status EQUAL 0 OR resolved MATCHES "not found")
            message(FATAL_ERROR "the loader cannot resolve every library the module needs (see ldd above)")
        endif()
    endif()

    if(named)
        list(JOIN named " " named_text)
        message("brakkle bundle: built on a JUCE tree that uses the system's libraries, it also needs ${named_text}")
    endif()

    if(refused)
        list(JOIN refused " " refused_text)
        message(FATAL_ERROR "the module needs libraries beyond the C/C++ runtimes, FreeType and fontconfig: ${refused_text}")
    endif()
endforeach()
