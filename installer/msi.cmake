# Builds the Windows Installer package from installer/quellix.wxs:
#   SOURCE_DATE_EPOCH=... cmake -DVERSION=<version> -DEXE=quellix.exe -DDELIVERED=delivered -DICON=quellix.ico
#         -DWXS=quellix.wxs -DOUTFILE=Quellix-<version>.msi
#         -DACTIONS=msi_actions.dll -DWIXL=wixl -DMSIBUILD=msibuild -DFAKETIME=faketime -P msi.cmake
#
# The same inputs give the same bytes. wixl stamps the package with the clock
# and a random package code, and its cabinet with the files' times: the files
# get the time of SOURCE_DATE_EPOCH (the release build's), wixl runs on a
# clock stopped at that time, and the codes are derived, not drawn.
cmake_minimum_required(VERSION 3.21)

foreach(var VERSION EXE DELIVERED ICON ACTIONS WXS OUTFILE WIXL MSIBUILD FAKETIME)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "msi.cmake: ${var} is not set")
  endif()
endforeach()

# Every version's codes derive from the upgrade code, which never changes.
file(READ ${WXS} wxs)
string(REGEX MATCH "UpgradeCode=\"([0-9A-F-]+)\"" _ "${wxs}")
set(upgrade_code ${CMAKE_MATCH_1})
string(UUID product_code NAMESPACE ${upgrade_code} NAME "ProductCode ${VERSION}" TYPE SHA1 UPPER)

if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  message(FATAL_ERROR "msi.cmake: SOURCE_DATE_EPOCH is not set")
endif()
string(TIMESTAMP epoch "%s" UTC)
string(TIMESTAMP stamp "%Y-%m-%d %H:%M:%S" UTC)

set(stage ${OUTFILE}.files)
file(REMOVE_RECURSE ${stage})
file(MAKE_DIRECTORY ${stage})
# wixl takes its sources from the folder it runs in, under the names the
# package gives them.
file(COPY_FILE ${EXE} ${stage}/quellix.exe)
file(COPY_FILE ${ICON} ${stage}/quellix.ico)
file(COPY_FILE ${ACTIONS} ${stage}/msi_actions.dll)
file(COPY ${DELIVERED}/stop-gwx-from-startup.bat ${DELIVERED}/readme.txt DESTINATION ${stage})
file(GLOB staged ${stage}/*)
list(SORT staged)
execute_process(COMMAND touch -d @${epoch} ${staged} COMMAND_ERROR_IS_FATAL ANY)

# The package code names these exact bytes: another build of the same
# version with other files (signed, say) is another package.
set(contents "${wxs}")
foreach(f ${staged})
  file(SHA256 ${f} hash)
  string(APPEND contents ${hash})
endforeach()
string(SHA256 contents_hash "${contents}")
string(UUID package_code NAMESPACE ${upgrade_code} NAME "PackageCode ${VERSION} ${contents_hash}"
       TYPE SHA1 UPPER)

file(REMOVE ${OUTFILE})
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env TZ=UTC
          ${FAKETIME} -f ${stamp}
          ${WIXL} --arch x86 -D Version=${VERSION} -D ProductCode=${product_code}
          -o ${OUTFILE} ${WXS}
  WORKING_DIRECTORY ${stage}
  COMMAND_ERROR_IS_FATAL ANY)

# On uninstall, the files the program writes beside itself go too. They
# belong to the program's component: while a later version holds it, an
# upgrade leaves them.
set(rows "")
foreach(name log.txt log2.txt disable-triggers.cmd)
  string(MAKE_C_IDENTIFIER "Remove_${name}" key)
  list(APPEND rows -q "INSERT INTO `RemoveFile` (`FileKey`, `Component_`, `FileName`, `DirProperty`, `InstallMode`) VALUES ('${key}', 'Program', '${name}', 'INSTALLDIR', 2)")
endforeach()
# msibuild takes -s (summary information: here the package code) only on its own.
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env TZ=UTC ${FAKETIME} -f ${stamp}
          ${MSIBUILD} ${OUTFILE} -s "Quellix ${VERSION}" "Quellix Software" "Intel;1033" "{${package_code}}"
  COMMAND_ERROR_IS_FATAL ANY)
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env TZ=UTC ${FAKETIME} -f ${stamp} ${MSIBUILD} ${OUTFILE} ${rows}
  COMMAND_ERROR_IS_FATAL ANY)
file(REMOVE_RECURSE ${stage})
