# Install rules and Debian packages.
#
#   DESTDIR=<root> cmake --install build/<preset> --prefix /usr     # or
#   cpack --config build/<preset>/CPackConfig.cmake -B build/<preset>/packages
#
# gives two packages for the architecture of the build (amd64 natively, arm64
# from the cross-arm64 preset):
#   upgradeviewmodel        the plug-in in the host's plug-in folder and its
#                           translations: what a device image takes;
#   upgradeviewmodel-tools  the workstation tools (upgrade-pack, upgrade-sim
#                           and its rehearsal plug-in), when the build has them.
include(GNUInstallDirs)

# Relative to the install prefix (/usr in the packages): the folder in which
# the host looks for its plug-ins. Not multiarch: a device has one
# architecture and the host's folder is the same on every one.
set(UPGRADE_PLUGIN_INSTALL_DIR "lib/upgradeviewmodel/plugins" CACHE STRING
    "Folder of the host's plug-ins, relative to the install prefix")
set(UPGRADE_TRANSLATIONS_INSTALL_DIR "${CMAKE_INSTALL_DATADIR}/upgradeviewmodel/translations" CACHE STRING
    "Folder of the plug-in's translations (.qm), relative to the install prefix")

# The plug-in: libupgradeviewmodel.so.1.0.0 and its SONAME link
# libupgradeviewmodel.so.1, which is what the host loads. No development link
# (.so): nothing links against a plug-in.
install(TARGETS upgradeviewmodel
  LIBRARY DESTINATION ${UPGRADE_PLUGIN_INSTALL_DIR} NAMELINK_SKIP COMPONENT plugin)

# The trust folder of a build that enforces signatures (UPGRADE_TRUST_DIR, an
# absolute path, hence DESTDIR above). It installs empty: such a device
# refuses every package until its maker puts a public key (*.pem) there.
if(UPGRADE_TRUST_DIR)
  install(DIRECTORY DESTINATION ${UPGRADE_TRUST_DIR} COMPONENT plugin)
endif()

# Translations: the .qm files that the translations/ folder builds, whatever
# their names, looked up when installing; nothing when it builds none (or
# compiles them into the plug-in).
if(EXISTS ${PROJECT_SOURCE_DIR}/translations/CMakeLists.txt)
  install(CODE "
    file(GLOB_RECURSE _upgrade_qm \"${PROJECT_BINARY_DIR}/translations/*.qm\")
    if(_upgrade_qm)
      file(INSTALL DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${UPGRADE_TRANSLATIONS_INSTALL_DIR}\"
           TYPE FILE FILES \${_upgrade_qm})
    endif()" COMPONENT plugin)
endif()

# Tools, as far as the build has them.
set(_upgrade_tools)
foreach(tool IN ITEMS upgrade-pack upgrade-sim)
  if(TARGET ${tool})
    list(APPEND _upgrade_tools ${tool})
  endif()
endforeach()
if(_upgrade_tools)
  install(TARGETS ${_upgrade_tools} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tools)
endif()

# upgrade-sim's rehearsal build of the plug-in (--signed, --trust) comes with
# the tools, in a folder of its own: the host loads plug-ins from
# UPGRADE_PLUGIN_INSTALL_DIR only, so a device image that took this file by
# mistake would still never run a plug-in whose trust a variable redirects.
set(UPGRADE_REHEARSAL_INSTALL_DIR "lib/upgradeviewmodel/rehearsal" CACHE STRING
    "Folder of upgrade-sim's rehearsal plug-in, relative to the install prefix")
if(TARGET upgrade-sim)
  install(TARGETS upgradeviewmodel_rehearsal
    LIBRARY DESTINATION ${UPGRADE_REHEARSAL_INSTALL_DIR} NAMELINK_SKIP COMPONENT tools)
  # upgrade-sim looks for both relative to its own folder.
  file(RELATIVE_PATH _upgrade_sim_plugin /${CMAKE_INSTALL_BINDIR} /${UPGRADE_PLUGIN_INSTALL_DIR})
  file(RELATIVE_PATH _upgrade_sim_rehearsal /${CMAKE_INSTALL_BINDIR} /${UPGRADE_REHEARSAL_INSTALL_DIR})
  target_compile_definitions(upgrade-sim PRIVATE
    UPGRADE_SIM_INSTALLED_PLUGIN="${_upgrade_sim_plugin}/$<TARGET_SONAME_FILE_NAME:upgradeviewmodel>"
    UPGRADE_SIM_INSTALLED_REHEARSAL="${_upgrade_sim_rehearsal}/$<TARGET_SONAME_FILE_NAME:upgradeviewmodel_rehearsal>")
endif()

# The plug-in check of scripts/check-plugin.sh as a test of every build: ELF
# class and machine, SONAME, the two exported symbols, the needed libraries.
if(UPGRADE_BUILD_TESTS)
  if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(aarch64|arm64)$")
    set(_upgrade_elf_machine AArch64)
  elseif(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64)$")
    set(_upgrade_elf_machine x86-64)
  else()
    set(_upgrade_elf_machine "${CMAKE_SYSTEM_PROCESSOR}")
  endif()
  set(_upgrade_check_options)
  if("${CMAKE_CXX_FLAGS} ${CMAKE_SHARED_LINKER_FLAGS}" MATCHES "-fsanitize=")
    # The sanitizer builds link their runtimes into the plug-in.
    list(APPEND _upgrade_check_options --sanitized)
  endif()
  # Not run through the emulator: readelf of this machine reads any ELF file.
  add_test(NAME plugin_elf_check
    COMMAND ${PROJECT_SOURCE_DIR}/scripts/check-plugin.sh ${_upgrade_check_options}
            $<TARGET_FILE:upgradeviewmodel> ${_upgrade_elf_machine})
endif()

# Debian packages.
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(aarch64|arm64)$")
  set(_upgrade_deb_arch arm64)
elseif(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64)$")
  set(_upgrade_deb_arch amd64)
else()
  execute_process(COMMAND dpkg --print-architecture OUTPUT_VARIABLE _upgrade_deb_arch
                  OUTPUT_STRIP_TRAILING_WHITESPACE)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME upgradeviewmodel)
set(CPACK_PACKAGE_VENDOR "LCD display controller team")
set(CPACK_PACKAGE_CONTACT "LCD display controller team <lcd-firmware@example.com>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# Device images take the files as they are: no debug information.
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL plugin)
if(_upgrade_tools)
  list(APPEND CPACK_COMPONENTS_ALL tools)
endif()
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${_upgrade_deb_arch})
set(CPACK_DEBIAN_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Depends from what the files link (dpkg-shlibdeps): for the plug-in that is
# libqt5core5a, libstdc++6, libgcc-s1 and libc6 with the least versions its
# symbols need. In the cross build dpkg-shlibdeps must read the arm64
# libraries' symbol files (installed through multiarch), which it does for
# DEB_HOST_ARCH; CPack takes that from the file below when it runs.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
file(WRITE ${PROJECT_BINARY_DIR}/CPackProjectConfig.cmake
     "set(ENV{DEB_HOST_ARCH} ${_upgrade_deb_arch})\n")
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_BINARY_DIR}/CPackProjectConfig.cmake)

set(CPACK_DEBIAN_PLUGIN_PACKAGE_NAME upgradeviewmodel)
string(CONCAT CPACK_COMPONENT_PLUGIN_DESCRIPTION
  "Firmware upgrade view model plug-in of the LCD display controller\n"
  "libupgradeviewmodel.so.1, loaded by the device's host application framework\n"
  "from its plug-in folder; it runs the firmware upgrade behind the upgrade\n"
  "screen. With its translations.")
set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME upgradeviewmodel-tools)
set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION devel)
string(CONCAT CPACK_COMPONENT_TOOLS_DESCRIPTION
  "Tools for the firmware upgrade view model of the LCD display controller\n"
  "upgrade-pack creates, inspects and verifies upgrade packages; upgrade-sim\n"
  "runs the plug-in in a simulated host.")
set(CPACK_DEBIAN_TOOLS_PACKAGE_DEPENDS "upgradeviewmodel (= ${PROJECT_VERSION})")

include(CPack)
