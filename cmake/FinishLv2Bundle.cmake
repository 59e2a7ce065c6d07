# cmake -DBUNDLE=<Brakkle.lv2> -DURI=<plug-in URI> -DEMAIL=<maker's address> -P FinishLv2Bundle.cmake
#
# Finishes the plug-in description that JUCE's generator writes into the LV2
# bundle after every link (manifest.ttl, dsp.ttl, ui.ttl), where what it writes
# is wrong or missing for Brakkle and the fix is a plain edit:
#
#   dsp.ttl      the plug-in's class: a delay effect (lv2:DelayPlugin), so that
#                hosts file it with the delays instead of "Plugin" (its only
#                class besides lv2:Plugin: lilv takes the first class it knows)
#   dsp.ttl      the maker's e-mail as a mailto: address (JUCE writes the bare
#                address, which reads as a file beside the bundle)
#   manifest.ttl no preset for the single, nameless program: it would show in
#                hosts as an empty preset name that changes nothing
#   ui.ttl       ui:noUserResize is a feature, not extension data, and
#                opts:interface is extension data, not a feature: each is left
#                only where it belongs (the window stays fixed-size either way)
#
# Every edit must find its text exactly once, or was made already: a JUCE
# version that writes something else stops the build here instead of shipping
# a description nobody checked.

cmake_minimum_required(VERSION 3.22)

foreach(arg BUNDLE URI EMAIL)
    if(NOT DEFINED ${arg} OR "${${arg}}" STREQUAL "")
        message(FATAL_ERROR "FinishLv2Bundle.cmake: -D${arg}=... is missing")
    endif()
endforeach()

set(tab "\t")

function(edit_once file before after)
    set(path "${BUNDLE}/${file}")
    if(NOT EXISTS "${path}")
        message(FATAL_ERROR "FinishLv2Bundle.cmake: ${path} is missing (did JUCE's LV2 helper run?)")
    endif()
    file(READ "${path}" text)

    string(FIND "${text}" "${before}" first)
    if(first EQUAL -1)
        if(NOT after STREQUAL "")
            string(FIND "${text}" "${after}" done)
            if(NOT done EQUAL -1)
                return()   # edited already
            endif()
        endif()
        message(FATAL_ERROR "FinishLv2Bundle.cmake: ${file} no longer holds\n${before}\n"
                            "JUCE's generator has changed: check the new text and this edit.")
    endif()
    string(FIND "${text}" "${before}" last REVERSE)
    if(NOT first EQUAL last)
        message(FATAL_ERROR "FinishLv2Bundle.cmake: ${file} holds this more than once:\n${before}")
    endif()

    string(REPLACE "${before}" "${after}" text "${text}")
    file(WRITE "${path}" "${text}")
endfunction()

edit_once(dsp.ttl
    "<${URI}>\n${tab}ui:ui <${URI}:UI> ;\n${tab}a lv2:Plugin ;\n"
    "<${URI}>\n${tab}ui:ui <${URI}:UI> ;\n${tab}a lv2:Plugin , lv2:DelayPlugin ;\n")

edit_once(dsp.ttl
    "foaf:mbox <${EMAIL}> ;"
    "foaf:mbox <mailto:${EMAIL}> ;")

# A block that is already gone cannot be told from a changed generator: only
# look for it while the manifest still names any preset.
file(READ "${BUNDLE}/manifest.ttl" manifest)
if(manifest MATCHES "pset:Preset")
    edit_once(manifest.ttl
        "<${URI}:preset1>\n${tab}a pset:Preset ;\n${tab}lv2:appliesTo <${URI}> ;\n${tab}rdfs:label \"\" ;\n${tab}state:state [ <${URI}:Program> \"0\"^^xsd:int ; ] .\n\n"
        "")
endif()

edit_once(ui.ttl
    "${tab}${tab}opts:interface ,\n${tab}${tab}ui:noUserResize ,\n${tab}${tab}ui:resize ;\n"
    "${tab}${tab}opts:interface ,\n${tab}${tab}ui:resize ;\n")

edit_once(ui.ttl
    "${tab}lv2:optionalFeature\n${tab}${tab}ui:noUserResize ,\n${tab}${tab}opts:interface ,\n${tab}${tab}opts:options ;\n"
    "${tab}lv2:optionalFeature\n${tab}${tab}ui:noUserResize ,\n${tab}${tab}opts:options ;\n")
