# Helpers shared by every folder's CMakeLists.txt.

# qs_add_library(<target> [SOURCES ...] [GLOB] [PUBLIC_DEPS ...] [PRIVATE_DEPS ...])
# With GLOB, every *.cpp and *.h directly in the current folder joins the target.
# The source root is on the include path: code includes "engine/foundation/cLStringTmpl.h".
# A folder with no source files yet becomes an interface (header-only) target.
function(qs_add_library target)
  cmake_parse_arguments(L "GLOB" "" "SOURCES;PUBLIC_DEPS;PRIVATE_DEPS" ${ARGN})
  set(srcs ${L_SOURCES})
  if(L_GLOB)
    file(GLOB globbed CONFIGURE_DEPENDS
         ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.c
         ${CMAKE_CURRENT_SOURCE_DIR}/*.h ${CMAKE_CURRENT_SOURCE_DIR}/generated/*.cpp
         ${CMAKE_CURRENT_SOURCE_DIR}/generated/*.h)
    list(APPEND srcs ${globbed})
  endif()
  set(compiled ${srcs})
  list(FILTER compiled INCLUDE REGEX "\\.(cpp|c)$")
  if(NOT compiled)
    add_library(${target} INTERFACE)
    target_include_directories(${target} INTERFACE ${CMAKE_SOURCE_DIR})
    target_link_libraries(${target} INTERFACE ${L_PUBLIC_DEPS})
    return()
  endif()
  add_library(${target} STATIC ${srcs})
  target_include_directories(${target} PUBLIC ${CMAKE_SOURCE_DIR})
  target_link_libraries(${target} PUBLIC ${L_PUBLIC_DEPS} PRIVATE ${L_PRIVATE_DEPS})
endfunction()

# The top folder a test folder mirrors (tests/engine/foundation -> engine) is its label,
# so `ctest -L engine` runs the engine's tests.
function(_qs_test_label out)
  file(RELATIVE_PATH rel ${CMAKE_SOURCE_DIR}/tests ${CMAKE_CURRENT_SOURCE_DIR})
  string(REPLACE "/" ";" parts "${rel}")
  list(GET parts 0 label)
  set(${out} ${label} PARENT_SCOPE)
endfunction()

# qs_add_test(<name> SOURCES ... LIBS ... [LABELS extra...])
function(qs_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  _qs_test_label(label)
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} qs_test_doubles GTest::gtest GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/tests)
  target_compile_definitions(${name} PRIVATE QS_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
                             QS_BINARY_DIR="${CMAKE_BINARY_DIR}")
  gtest_discover_tests(${name} PROPERTIES LABELS "${label};${T_LABELS}" DISCOVERY_TIMEOUT 120)
endfunction()

# qs_add_tests_glob(LIBS ... [LABELS ...]): one test program per *_test.cpp in this folder.
function(qs_add_tests_glob)
  cmake_parse_arguments(T "" "" "LIBS;LABELS" ${ARGN})
  file(GLOB tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp)
  _qs_test_label(label)
  file(RELATIVE_PATH rel ${CMAKE_SOURCE_DIR}/tests ${CMAKE_CURRENT_SOURCE_DIR})
  string(REPLACE "/" "_" prefix "${rel}")
  foreach(t ${tests})
    get_filename_component(base ${t} NAME_WE)
    qs_add_test(${prefix}_${base} SOURCES ${t} LIBS ${T_LIBS} LABELS ${T_LABELS})
  endforeach()
endfunction()

# qs_add_webview_test(<name> SOURCES ... LIBS ... [LABELS ...] [DEPENDS target...] [SHARDS n [ALONE test...]])
# A program whose tests hold live web views, with a main() of its own: the web engine starts once per
# process, so its tests share one process, or with SHARDS n processes that CTest runs side by side,
# the i-th running every n-th test (GoogleTest's sharding); each test named in ALONE (Suite.Name) has
# a process of its own beside them. Targets in DEPENDS that exist are built first.
function(qs_add_webview_test name)
  cmake_parse_arguments(T "" "SHARDS" "SOURCES;LIBS;LABELS;DEPENDS;ALONE" ${ARGN})
  _qs_test_label(label)
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} qs_test_support GTest::gtest)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/tests)
  target_compile_definitions(${name} PRIVATE QS_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
                             QS_BINARY_DIR="${CMAKE_BINARY_DIR}")
  foreach(d ${T_DEPENDS})
    if(TARGET ${d})
      add_dependencies(${name} ${d})
    endif()
  endforeach()
  set(env "QT_QPA_PLATFORM=offscreen;QTWEBENGINE_CHROMIUM_FLAGS=--no-sandbox --disable-gpu")
  if(NOT T_SHARDS)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES LABELS "${label};webview;${T_LABELS}" TIMEOUT 600 ENVIRONMENT "${env}")
    return()
  endif()
  set(rest "*")
  foreach(alone ${T_ALONE})
    string(REPLACE "." "_" suffix "${alone}")
    add_test(NAME ${name}_${suffix} COMMAND ${name} --gtest_filter=${alone})
    set_tests_properties(${name}_${suffix} PROPERTIES LABELS "${label};webview;${T_LABELS}" TIMEOUT 600
                         ENVIRONMENT "${env}")
  endforeach()
  if(T_ALONE)
    list(JOIN T_ALONE ":" others)
    set(rest "*-${others}")
  endif()
  math(EXPR last "${T_SHARDS} - 1")
  foreach(i RANGE ${last})
    add_test(NAME ${name}_${i} COMMAND ${name} --gtest_filter=${rest})
    set_tests_properties(${name}_${i} PROPERTIES LABELS "${label};webview;${T_LABELS}" TIMEOUT 600
                         ENVIRONMENT "${env};GTEST_TOTAL_SHARDS=${T_SHARDS};GTEST_SHARD_INDEX=${i}")
  endforeach()
endfunction()

# Adds every sub-folder of the current folder that has a CMakeLists.txt.
function(qs_add_subfolders)
  file(GLOB children LIST_DIRECTORIES true ${CMAKE_CURRENT_SOURCE_DIR}/*)
  foreach(child ${children})
    if(IS_DIRECTORY ${child} AND EXISTS ${child}/CMakeLists.txt)
      add_subdirectory(${child})
    endif()
  endforeach()
endfunction()
