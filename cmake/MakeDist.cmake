# Makes the release: installs the build into DIST_DIR/NAME and packs that folder into
# DIST_DIR/NAME.zip. Whatever DIST_DIR held before goes, so no file of an older release
# lingers in the tree or the zip.
#   -D BUILD_DIR=... DIST_DIR=... NAME=... VERSION=... CHANGELOG=...
file(READ ${CHANGELOG} changelog)
string(REPLACE "." "\\." version_pattern ${VERSION})
if(NOT changelog MATCHES "\n## ${version_pattern}\n")
    message(FATAL_ERROR "CHANGELOG.md has no section \"## ${VERSION}\" for this release")
endif()

file(REMOVE_RECURSE ${DIST_DIR})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${DIST_DIR}/${NAME}
                COMMAND_ERROR_IS_FATAL ANY)
# Sorted entries, each under the release's folder.
file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE ${DIST_DIR} ${DIST_DIR}/${NAME}/*)
execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ${NAME}.zip --format=zip -- ${files}
                WORKING_DIRECTORY ${DIST_DIR} COMMAND_ERROR_IS_FATAL ANY)
message(STATUS "Release: ${DIST_DIR}/${NAME}.zip")
