# The LV2 bundle read by LV2's own tools, as distributions and hosts check it:
# sord_validate against the LV2 schemas, lv2ls and lv2info (see
# CheckLv2Bundle.cmake). tools/deps.sh installs them (Debian: sordi, lilv-utils
# and lv2-dev for the schemas).
if(NOT CMAKE_SYSTEM_NAME STREQUAL "Linux")
    return()
endif()

find_program(BRAKKLE_SORD_VALIDATE sord_validate)
find_program(BRAKKLE_LV2LS lv2ls)
find_program(BRAKKLE_LV2INFO lv2info)
set(BRAKKLE_LV2_SCHEMAS "/usr/lib/lv2" CACHE PATH "Folder holding LV2's schema bundles (core.lv2, ...)")

if(NOT BRAKKLE_SORD_VALIDATE OR NOT BRAKKLE_LV2LS OR NOT BRAKKLE_LV2INFO)
    message(WARNING "No sord_validate, lv2ls or lv2info (Debian: sordi, lilv-utils): the LV2 bundle's checks are left out")
    return()
endif()

add_test(NAME lv2.turtle_validates_against_the_schemas
         COMMAND ${CMAKE_COMMAND} -DCHECK=validate -DSORD_VALIDATE=${BRAKKLE_SORD_VALIDATE}
                 -DBUNDLE=$<TARGET_FILE_DIR:Brakkle_LV2> -DSCHEMAS=${BRAKKLE_LV2_SCHEMAS}
                 -P ${CMAKE_CURRENT_LIST_DIR}/CheckLv2Bundle.cmake)
add_test(NAME lv2.lv2ls_and_lv2info_show_the_plugin
         COMMAND ${CMAKE_COMMAND} -DCHECK=list -DLV2LS=${BRAKKLE_LV2LS} -DLV2INFO=${BRAKKLE_LV2INFO}
                 -DBUNDLE=$<TARGET_FILE_DIR:Brakkle_LV2> -DSCHEMAS=${BRAKKLE_LV2_SCHEMAS} -DURI=${BRAKKLE_LV2_URI}
                 -P ${CMAKE_CURRENT_LIST_DIR}/CheckLv2Bundle.cmake)
set_tests_properties(lv2.turtle_validates_against_the_schemas lv2.lv2ls_and_lv2info_show_the_plugin PROPERTIES LABELS host)
