# The factory bank, compiled in: resources/presets/Bank.txt lists the presets in
# order (<Group>/<Name>, one a line), each kept as the saved state in
# resources/presets/<Group>/<Name>.xml. The generated source holds each file's
# text as it is; configuring again follows any change to the list or a file.

set(BRAKKLE_PRESETS_DIR "${CMAKE_CURRENT_SOURCE_DIR}/resources/presets")
set(BRAKKLE_FACTORY_BANK_SOURCE "${CMAKE_CURRENT_BINARY_DIR}/generated/FactoryBankData.cpp")

file(STRINGS "${BRAKKLE_PRESETS_DIR}/Bank.txt" brakkle_bank_lines)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${BRAKKLE_PRESETS_DIR}/Bank.txt")

set(brakkle_bank_entries "")
foreach(line IN LISTS brakkle_bank_lines)
    if(line STREQUAL "" OR line MATCHES "^#")
        continue()
    endif()
    if(NOT line MATCHES "^([^/]+)/([^/]+)$")
        message(FATAL_ERROR "resources/presets/Bank.txt: '${line}' is not <Group>/<Name>")
    endif()
    set(group "${CMAKE_MATCH_1}")
    set(name "${CMAKE_MATCH_2}")
    set(file "${BRAKKLE_PRESETS_DIR}/${line}.xml")
    if(NOT EXISTS "${file}")
        message(FATAL_ERROR "resources/presets/Bank.txt names ${line}, but ${line}.xml is missing")
    endif()
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${file}")
    file(READ "${file}" text)
    if(text MATCHES "\\)brakkle_preset\"")
        message(FATAL_ERROR "${file} holds the generated source's string delimiter")
    endif()
    string(APPEND brakkle_bank_entries
        "    { \"${group}\", \"${name}\", R\"brakkle_preset(${text})brakkle_preset\" },\n")
endforeach()

file(CONFIGURE OUTPUT "${BRAKKLE_FACTORY_BANK_SOURCE}" CONTENT
"// Generated from resources/presets by cmake/FactoryBank.cmake: edit those files, not this one.
#include \"processor/FactoryBankData.h\"

const std::vector<FactoryBankEntry>& factoryBankEntries()
{
    static const std::vector<FactoryBankEntry> entries {
@brakkle_bank_entries@    };
    return entries;
}
" @ONLY)
