# The release a host developer takes: what `cmake --install` writes to a prefix and what
# `make dist` packs into dist/velTrayLib-<version>-win32.zip, beside the same tree unpacked.
#   bin/      the stripped DLL          include/  the public header
#   lib/      import libraries, .def    debug/    the DLL's separate debug symbols
#   cmake/    the CMake package         suite/    stand-ins for the suite's components
#   README.txt, CHANGELOG.md
include(CMakePackageConfigHelpers)

set(VEL_PACKAGE_NAME ${PROJECT_NAME}-${PROJECT_VERSION}-win32)
set(VEL_DIST_DIR ${CMAKE_SOURCE_DIR}/dist)
set(VEL_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated)

# The product.
install(FILES $<TARGET_FILE:velTrayLib> DESTINATION bin)
install(FILES ${CMAKE_SOURCE_DIR}/include/velTrayLib.h DESTINATION include)
install(FILES ${VEL_BIN_DIR}/velTrayLib.lib ${VEL_DEF} DESTINATION lib)
# The import library binds the decorated stdcall symbols, which GNU's linker needs as much as
# Microsoft's: the linker's own import library of the DLL would bind the undecorated names.
install(FILES ${VEL_BIN_DIR}/velTrayLib.lib DESTINATION lib RENAME libvelTrayLib.dll.a)
install(FILES $<TARGET_FILE:velTrayLib>.debug DESTINATION debug)

# The CMake package: find_package(velTrayLib CONFIG) and the target velTrayLib::velTrayLib.
configure_file(${CMAKE_SOURCE_DIR}/cmake/velTrayLibConfig.cmake.in
               ${VEL_GENERATED_DIR}/velTrayLibConfig.cmake @ONLY)
# A 64-bit project is refused by the version file: the DLL is 32-bit.
write_basic_package_version_file(${VEL_GENERATED_DIR}/velTrayLibConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${VEL_GENERATED_DIR}/velTrayLibConfig.cmake
              ${VEL_GENERATED_DIR}/velTrayLibConfigVersion.cmake DESTINATION cmake)

# README.txt: the README's sections for a host developer, under the release's name.
function(vel_readme_section readme title out)
    string(FIND "${readme}" "\n## ${title}\n" begin)
    if(begin LESS 0)
        message(FATAL_ERROR "README.md has no section \"${title}\"")
    endif()
    math(EXPR begin "${begin} + 1")
    string(SUBSTRING "${readme}" ${begin} -1 section)
    string(FIND "${section}" "\n## " end)
    string(SUBSTRING "${section}" 0 ${end} section)
    set(${out} "${section}" PARENT_SCOPE)
endfunction()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/README.md)
file(READ ${CMAKE_SOURCE_DIR}/README.md vel_readme)
vel_readme_section("${vel_readme}" "Using a release" vel_release)
vel_readme_section("${vel_readme}" "Using the library from a host" vel_host)
vel_readme_section("${vel_readme}" "What the library finds beside it" vel_beside)
file(WRITE ${VEL_GENERATED_DIR}/README.txt
     "velTrayLib ${PROJECT_VERSION} for 32-bit Windows\n\n${vel_release}\n${vel_host}\n${vel_beside}")
install(FILES ${VEL_GENERATED_DIR}/README.txt ${CMAKE_SOURCE_DIR}/CHANGELOG.md DESTINATION .)

# The stand-ins for the suite's own components, each with its note, to try the library
# without the suite.
set(vel_stand_ins
    "velDsgn.dll|the design component: the SEM icon's four pictures, the product name, the design colours"
    "deuSEMk.dll|the German language library: the texts the library shows, as a string table"
    "enuSEMk.dll|the English language library: the texts the library shows, as a string table"
    "velOptions.reg|the options file: selects English (enu) instead of asking the options server"
    "velOptSrv.dll|the options server, an in-process COM class (regsvr32), answering from velOptSrv.ini"
    "velSEMx.exe|the SEM program: creates MonitorBreakEvent and MonitorShutdown and prints each signal"
    "velSEMm.exe|the same program under the suite's other SEM name")
string(CONCAT vel_suite_notes
    "Stand-ins for the Quillmark suite's own components, for trying velTrayLib without the suite.\n"
    "They are NOT part of the product: a host ships the suite's real components. Copy them\n"
    "beside velTrayLib.dll to try it.\n\n")
foreach(entry IN LISTS vel_stand_ins)
    string(REPLACE "|" ";" entry "${entry}")
    list(GET entry 0 file)
    list(GET entry 1 note)
    install(FILES ${VEL_BIN_DIR}/${file} DESTINATION suite)
    string(APPEND vel_suite_notes "${file}: ${note}\n")
endforeach()
file(WRITE ${VEL_GENERATED_DIR}/suite-README.txt "${vel_suite_notes}")
install(FILES ${VEL_GENERATED_DIR}/suite-README.txt DESTINATION suite RENAME README.txt)

# make dist: the release installed into dist/<name> and packed as dist/<name>.zip.
add_custom_target(dist
    COMMAND ${CMAKE_COMMAND} -DBUILD_DIR=${CMAKE_BINARY_DIR} -DDIST_DIR=${VEL_DIST_DIR}
            -DNAME=${VEL_PACKAGE_NAME} -DVERSION=${PROJECT_VERSION}
            -DCHANGELOG=${CMAKE_SOURCE_DIR}/CHANGELOG.md -P ${CMAKE_SOURCE_DIR}/cmake/MakeDist.cmake
    VERBATIM)
add_dependencies(dist velTrayLib velDsgn deuSEMk enuSEMk velOptionsFile velOptSrv velSEMx velSEMm)
