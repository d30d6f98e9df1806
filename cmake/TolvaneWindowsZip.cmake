# The download for Windows users, tolvane-<version>-windows-x64.zip in the build folder: tolvane.exe,
# README.txt, LICENSE.txt and THIRD-PARTY-NOTICES.txt, the text files with Windows line ends.
set(TOLVANE_ZIP ${CMAKE_BINARY_DIR}/tolvane-${PROJECT_VERSION}-windows-x64.zip)
set(TOLVANE_README_WINDOWS ${CMAKE_BINARY_DIR}/zip-sources/README.txt)
configure_file(packaging/windows/README.txt ${TOLVANE_README_WINDOWS} @ONLY)
file(GLOB TOLVANE_NOTICES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/packaging/windows/notices/*)
add_custom_command(OUTPUT ${TOLVANE_ZIP}
  COMMAND ${CMAKE_COMMAND} -DEXE=$<TARGET_FILE:tolvane> -DREADME=${TOLVANE_README_WINDOWS}
          -DSOURCE=${PROJECT_SOURCE_DIR} -DSTAGE=${CMAKE_BINARY_DIR}/zip -DZIP=${TOLVANE_ZIP}
          -P ${PROJECT_SOURCE_DIR}/cmake/make-windows-zip.cmake
  DEPENDS tolvane ${TOLVANE_README_WINDOWS} ${TOLVANE_NOTICES} ${PROJECT_SOURCE_DIR}/LICENSE
          ${PROJECT_SOURCE_DIR}/cmake/make-windows-zip.cmake
  VERBATIM)
add_custom_target(tolvane_zip ALL DEPENDS ${TOLVANE_ZIP})
