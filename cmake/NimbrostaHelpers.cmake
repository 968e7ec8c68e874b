# nimbrosta_add_test(NAME <name> SOURCES <files...> [LIBS <targets...>] [LABELS <labels...>] [GL] [TIMEOUT <s>])
#
# One GoogleTest executable per call, registered as one ctest entry. GL tests run under
# xvfb-run (Mesa's software renderer) and carry the label "gl".
function(nimbrosta_add_test)
  cmake_parse_arguments(T "GL" "NAME;TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main Threads::Threads)
  target_include_directories(${T_NAME} PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
  set_target_properties(${T_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  target_compile_definitions(${T_NAME} PRIVATE
    NIMBROSTA_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    NIMBROSTA_BIN_DIR="${NIMBROSTA_BIN_DIR}"
    NIMBROSTA_LIB_DIR="${NIMBROSTA_LIB_DIR}")
  set(labels ${T_LABELS})
  if(T_GL)
    list(APPEND labels gl)
    add_test(NAME ${T_NAME}
      COMMAND xvfb-run -a -s "-screen 0 1920x1080x24 -noreset" $<TARGET_FILE:${T_NAME}>
      WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
    set_tests_properties(${T_NAME} PROPERTIES ENVIRONMENT "LIBGL_ALWAYS_SOFTWARE=1")
  else()
    add_test(NAME ${T_NAME} COMMAND ${T_NAME} WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${T_NAME} PROPERTIES TIMEOUT ${T_TIMEOUT})
  if(labels)
    set_tests_properties(${T_NAME} PROPERTIES LABELS "${labels}")
  endif()
endfunction()

# Adds every sub-folder of the calling folder that has a CMakeLists.txt, in name order, so
# that a new tool, test or benchmark folder joins the build without editing its parent.
macro(nimbrosta_add_subdirectories)
  file(GLOB _nimbrosta_subdirs LIST_DIRECTORIES true ${CMAKE_CURRENT_SOURCE_DIR}/*)
  list(SORT _nimbrosta_subdirs)
  foreach(_nimbrosta_dir IN LISTS _nimbrosta_subdirs)
    if(IS_DIRECTORY ${_nimbrosta_dir} AND EXISTS ${_nimbrosta_dir}/CMakeLists.txt)
      add_subdirectory(${_nimbrosta_dir})
    endif()
  endforeach()
endmacro()
