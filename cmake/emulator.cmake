# The cross build runs its arm64 programs under qemu-aarch64 (see the toolchain
# file). A small preloaded library makes QProcess and the start of arm64
# children work there (see emulator/qemushim.cpp); it is added to the emulator
# command of every target created after this file is included. Nothing here
# is part of the plug-in or its package.
if(NOT CMAKE_CROSSCOMPILING OR NOT UPGRADE_QEMU_AARCH64)
  return()
endif()

add_library(upgrade_qemu_shim SHARED ${CMAKE_CURRENT_LIST_DIR}/emulator/qemushim.cpp)
set_target_properties(upgrade_qemu_shim PROPERTIES
  OUTPUT_NAME upgradeqemushim
  LIBRARY_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/emulator)
target_compile_definitions(upgrade_qemu_shim PRIVATE
  UPGRADE_QEMU_AARCH64="${UPGRADE_QEMU_AARCH64}"
  UPGRADE_QEMU_LD_PREFIX="${UPGRADE_QEMU_LD_PREFIX}")
target_link_libraries(upgrade_qemu_shim PRIVATE ${CMAKE_DL_LIBS})

list(APPEND CMAKE_CROSSCOMPILING_EMULATOR -E LD_PRELOAD=${PROJECT_BINARY_DIR}/emulator/libupgradeqemushim.so)
