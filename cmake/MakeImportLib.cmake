# Builds the import library of velTrayLib.dll. The DLL exports undecorated
# names, but a caller of a stdcall function links against its decorated symbol
# (_velStartTray@8), so the import library is made from a .def that carries the
# decorations, taken from the exports' object file, and dlltool's --kill-at maps
# each decorated symbol to the undecorated export.
#   -D NM=... DLLTOOL=... DEF=<undecorated .def> OBJ=<exports object> OUT_DEF=... OUT_LIB=...
execute_process(COMMAND ${NM} --defined-only ${OBJ} OUTPUT_VARIABLE symbols COMMAND_ERROR_IS_FATAL ANY)
file(STRINGS ${DEF} def_lines)
set(out "LIBRARY velTrayLib.dll\nEXPORTS\n")
foreach(line IN LISTS def_lines)
    if(line MATCHES "^[ \t]+(vel[A-Za-z]+)[ \t]+@([0-9]+)")
        set(name ${CMAKE_MATCH_1})
        set(ordinal ${CMAKE_MATCH_2})
        if(NOT symbols MATCHES "[ \t]_${name}@([0-9]+)[\r\n]")
            message(FATAL_ERROR "no stdcall symbol for export ${name}")
        endif()
        string(APPEND out "    ${name}@${CMAKE_MATCH_1} @${ordinal}\n")
    endif()
endforeach()
file(WRITE ${OUT_DEF} "${out}")
execute_process(COMMAND ${DLLTOOL} --kill-at --input-def ${OUT_DEF} --dllname velTrayLib.dll
                        --output-lib ${OUT_LIB} COMMAND_ERROR_IS_FATAL ANY)
