# Small helpers so that each box's CMakeLists stays a few lines long and helpers adding
# files to a box never have to edit a source list.

# Adds the folder if it has a CMakeLists.txt (boxes appear as they are built).
macro(tv_add_box dir)
  if(EXISTS ${CMAKE_SOURCE_DIR}/${dir}/CMakeLists.txt)
    add_subdirectory(${dir})
  endif()
endmacro()

# tv_library(<target> DIRS <dir>... [DEPS <target>...] [PUBLIC_DEPS ...])
# A static library of every *.cpp in the given folders (relative to the current one),
# leaving out tests (*_test.cpp). The box's root is its include root.
function(tv_library target)
  cmake_parse_arguments(ARG "" "" "DIRS;DEPS" ${ARGN})
  if(NOT ARG_DIRS)
    set(ARG_DIRS .)
  endif()
  set(srcs)
  foreach(d IN LISTS ARG_DIRS)
    file(GLOB found CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${d}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/${d}/*.c)
    list(APPEND srcs ${found})
  endforeach()
  list(FILTER srcs EXCLUDE REGEX "_test\\.cpp$")
  # Dependencies that do not exist yet (a box not built so far) are skipped.
  set(deps)
  foreach(dep IN LISTS ARG_DEPS)
    if(TARGET ${dep} OR dep MATCHES "::")
      list(APPEND deps ${dep})
    endif()
  endforeach()
  if(srcs)
    add_library(${target} STATIC ${srcs})
    target_include_directories(${target} PUBLIC ${CMAKE_SOURCE_DIR})
    target_link_libraries(${target} PUBLIC ${deps})
  else()
    add_library(${target} INTERFACE)
    target_include_directories(${target} INTERFACE ${CMAKE_SOURCE_DIR})
    target_link_libraries(${target} INTERFACE ${deps})
  endif()
endfunction()

# tv_nml_message_file(<target>)
# Puts a copy of the numerical library's message file beside the target's executable,
# where the library finds it (nothing when the library's box is not part of the build).
function(tv_nml_message_file target)
  if(TARGET nml_messages)
    add_dependencies(${target} nml_messages)
    add_custom_command(TARGET ${target} POST_BUILD
      COMMAND ${CMAKE_COMMAND} -E copy_if_different ${TV_NML_MESSAGE_FILE} $<TARGET_FILE_DIR:${target}>
      VERBATIM)
  endif()
endfunction()
# Compiled into every test binary (which defines TV_TEST_TMPDIR): points the settings
# folder (XDG_CONFIG_HOME) into the binary's scratch folder before any test runs.
set(tv_test_settings_source ${CMAKE_SOURCE_DIR}/platform/testing/home/IsolatedSettings.cpp)

# tv_tests(<name> LABEL <label> DIRS <dir>... LIBS <target>...)
# One test binary of every *_test.cpp in the folders, registered as one CTest entry.
# Tests find their fixtures through TV_SOURCE_DIR (the project root) and may write
# into TV_TEST_TMPDIR (a folder of the build tree); their settings folder lies there too
# (tv_test_settings_source).
function(tv_tests name)
  if(NOT TV_BUILD_TESTS)
    return()
  endif()
  cmake_parse_arguments(ARG "" "LABEL" "DIRS;LIBS" ${ARGN})
  if(NOT ARG_DIRS)
    set(ARG_DIRS .)
  endif()
  set(srcs)
  foreach(d IN LISTS ARG_DIRS)
    file(GLOB found CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${d}/*_test.cpp)
    list(APPEND srcs ${found})
  endforeach()
  if(NOT srcs)
    return()
  endif()
  set(libs)
  foreach(lib IN LISTS ARG_LIBS)
    if(TARGET ${lib} OR lib MATCHES "::")
      list(APPEND libs ${lib})
    endif()
  endforeach()
  add_executable(${name} ${srcs} ${tv_test_settings_source})
  target_link_libraries(${name} PRIVATE ${libs} GTest::gtest GTest::gtest_main GTest::gmock)
  target_compile_definitions(${name} PRIVATE
    TV_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    TV_TEST_TMPDIR="${CMAKE_BINARY_DIR}/test-tmp/${name}")
  file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/test-tmp/${name})
  tv_nml_message_file(${name})
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES LABELS "${ARG_LABEL}"
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/test-tmp/${name}
    ENVIRONMENT "TZ=UTC;LC_ALL=C;QT_QPA_PLATFORM=offscreen")
endfunction()
