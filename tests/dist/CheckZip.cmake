# Checks the release zip: it holds exactly the files of a release, each the same as in the
# unpacked folder beside it; its DLL carries no debug information, and the DLL's debug link
# leads addr2line from an export's address to the function and its source line.
#   cmake -D DIST_DIR=... NAME=... WORK_DIR=... OBJDUMP=... ADDR2LINE=... -P CheckZip.cmake
set(release_files
    CHANGELOG.md README.txt bin/velTrayLib.dll cmake/velTrayLibConfig.cmake
    cmake/velTrayLibConfigVersion.cmake debug/velTrayLib.dll.debug include/velTrayLib.h
    lib/libvelTrayLib.dll.a lib/velTrayLib.def lib/velTrayLib.lib suite/README.txt
    suite/deuSEMk.dll suite/enuSEMk.dll suite/velDsgn.dll suite/velOptSrv.dll
    suite/velOptions.reg suite/velSEMm.exe suite/velSEMx.exe)

file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})
execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf ${DIST_DIR}/${NAME}.zip
                WORKING_DIRECTORY ${WORK_DIR} COMMAND_ERROR_IS_FATAL ANY)
set(unpacked ${WORK_DIR}/${NAME})
# An entry outside the release's folder shows here as ../<entry>.
file(GLOB_RECURSE zip_files LIST_DIRECTORIES false RELATIVE ${unpacked} ${WORK_DIR}/*)
list(SORT zip_files)
if(NOT zip_files STREQUAL release_files)
    set(missing ${release_files})
    list(REMOVE_ITEM missing ${zip_files})
    set(extra ${zip_files})
    list(REMOVE_ITEM extra ${release_files})
    message(FATAL_ERROR "the zip lacks [${missing}] and holds more: [${extra}]")
endif()
foreach(file IN LISTS release_files)
    execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${unpacked}/${file}
                            ${DIST_DIR}/${NAME}/${file} RESULT_VARIABLE differs)
    if(differs)
        message(FATAL_ERROR "${file} in the zip differs from the unpacked release")
    endif()
endforeach()

set(dll ${unpacked}/bin/velTrayLib.dll)
execute_process(COMMAND ${OBJDUMP} -h -p ${dll} OUTPUT_VARIABLE headers COMMAND_ERROR_IS_FATAL ANY)
if(headers MATCHES "\\.debug_")
    message(FATAL_ERROR "bin/velTrayLib.dll still carries debug sections")
endif()
# velStartTray's address: the image base plus its export's address.
if(NOT headers MATCHES "\nImageBase[ \t]+([0-9a-fA-F]+)")
    message(FATAL_ERROR "no image base in the DLL's headers")
endif()
set(base ${CMAKE_MATCH_1})
if(NOT headers MATCHES "\\[ *([0-9]+)\\] velStartTray\n")
    message(FATAL_ERROR "velStartTray is not exported")
endif()
if(NOT headers MATCHES "\\[ *${CMAKE_MATCH_1}\\] \\+base\\[ *[0-9]+\\] ([0-9a-fA-F]+) Export RVA")
    message(FATAL_ERROR "no address for velStartTray's export")
endif()
math(EXPR address "0x${base} + 0x${CMAKE_MATCH_1}" OUTPUT_FORMAT HEXADECIMAL)
# The debug file beside the DLL, where a debugger looks for the file the debug link names.
file(COPY ${unpacked}/debug/velTrayLib.dll.debug DESTINATION ${unpacked}/bin)
execute_process(COMMAND ${ADDR2LINE} -f -e ${dll} ${address} OUTPUT_VARIABLE line
                COMMAND_ERROR_IS_FATAL ANY)
if(NOT line MATCHES "^velStartTray[@0-9]*\n[^\n]+\\.cpp:[0-9]+")
    message(FATAL_ERROR "the debug link does not resolve ${address}: ${line}")
endif()
string(REPLACE "\n" " " line "${line}")
message("zip check: the release's files; velStartTray at ${address} is ${line}")
