# Packs the Windows zip (TolvaneWindowsZip.cmake calls it):
#   cmake -DEXE=... -DREADME=... -DSOURCE=<checkout> -DSTAGE=<empty folder> -DZIP=... -P make-windows-zip.cmake
# THIRD-PARTY-NOTICES.txt is the copyright files of the Debian source packages of what tolvane.exe
# links statically (packaging/windows/notices), followed by the licence texts they name but
# leave out, taken from the same place they point to: Debian's /usr/share/common-licenses.

# crlf(PATH TEXT): writes TEXT to PATH with Windows line ends, which Notepad needs before 1809.
function(crlf path text)
  string(REPLACE "\r\n" "\n" text "${text}")
  string(REPLACE "\n" "\r\n" text "${text}")
  file(WRITE ${path} "${text}")
endfunction()

file(REMOVE_RECURSE ${STAGE})
file(MAKE_DIRECTORY ${STAGE})
file(COPY_FILE ${EXE} ${STAGE}/tolvane.exe)
file(READ ${README} readme)
crlf(${STAGE}/README.txt "${readme}")
file(READ ${SOURCE}/LICENSE license)
crlf(${STAGE}/LICENSE.txt "${license}")

set(notices "Third-party software in tolvane.exe\n===================================\n
tolvane.exe is linked statically with Qt (qtbase, under the GNU LGPL version 3, with the
libraries it bundles), with libxml2 (MIT licence) and with the MinGW-w64 runtime. Their
copyright notices and licences follow, as Debian's source packages of the versions it was
built from state them, and then the full texts of the licences that those refer to.
Tolvane's own source code is available under the GPL (LICENSE.txt), so it can be rebuilt
against a changed Qt.\n")
file(GLOB copyrights ${SOURCE}/packaging/windows/notices/*.copyright)
set(texts)
foreach(copyright IN LISTS copyrights)
  file(READ ${copyright} text)
  string(APPEND notices "\n\n${text}")
  string(REGEX MATCHALL "/usr/share/common-licenses/[A-Za-z0-9.+-]*[A-Za-z0-9+]" named "${text}")
  list(APPEND texts ${named})
endforeach()
list(REMOVE_DUPLICATES texts)
list(SORT texts)
list(REMOVE_ITEM texts /usr/share/common-licenses/GPL-3) # LICENSE.txt
foreach(path IN LISTS texts)
  get_filename_component(name ${path} NAME)
  file(READ ${path} text)
  string(APPEND notices "\n\n${name} (${path} on Debian)\n\n${text}")
endforeach()
crlf(${STAGE}/THIRD-PARTY-NOTICES.txt "${notices}")

file(REMOVE ${ZIP})
execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ${ZIP} --format=zip
                        tolvane.exe README.txt LICENSE.txt THIRD-PARTY-NOTICES.txt
                WORKING_DIRECTORY ${STAGE} COMMAND_ERROR_IS_FATAL ANY)
