# Warning flags shared by every target of the project.
add_library(upgrade_warnings INTERFACE)
target_compile_options(upgrade_warnings INTERFACE
  -Wall -Wextra -Wsuggest-override -Wnon-virtual-dtor -Wshadow=local -Wpedantic)

# Adds every immediate sub-folder of the current folder that has its own
# CMakeLists.txt, so each area registers its targets without editing a parent.
function(upgrade_add_subfolders)
  file(GLOB children LIST_DIRECTORIES true RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/*)
  list(SORT children)
  foreach(child IN LISTS children)
    if(IS_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/${child} AND EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${child}/CMakeLists.txt)
      add_subdirectory(${child})
    endif()
  endforeach()
endfunction()
