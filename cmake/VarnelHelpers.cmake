# Shared build settings for every Varnel target.

if(VARNEL_SANITIZE)
  set(VARNEL_SANITIZER_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=all
      -fno-omit-frame-pointer)
  add_compile_options(${VARNEL_SANITIZER_FLAGS})
  add_link_options(${VARNEL_SANITIZER_FLAGS})
endif()

# Coverage feedback for the fuzz targets needs the libraries they call instrumented too.
if(VARNEL_BUILD_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

# Warnings apply to project code only, never to the third-party headers we include.
function(varnel_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
endfunction()

# Fast paths carry their instruction set in the file name (blend_avx2.cpp); only such a file is
# compiled for it, and the kernels' dispatch picks it at run time when the processor has it.
set(VARNEL_ISA_SUFFIXES avx2)
set(VARNEL_ISA_FLAGS_avx2 -mavx2)
function(varnel_isa_flags)
  foreach(source ${ARGN})
    foreach(isa ${VARNEL_ISA_SUFFIXES})
      if(source MATCHES "_${isa}\\.(c|cpp)$")
        set_property(SOURCE ${source} APPEND PROPERTY COMPILE_OPTIONS ${VARNEL_ISA_FLAGS_${isa}})
      endif()
    endforeach()
  endforeach()
endfunction()

# A Qt-free library of the program. Its folder's public header is all other folders use.
function(varnel_library name)
  cmake_parse_arguments(ARG "SHARED" "" "SOURCES;LIBS" ${ARGN})
  if(ARG_SHARED)
    add_library(${name} SHARED ${ARG_SOURCES})
  else()
    add_library(${name} STATIC ${ARG_SOURCES})
  endif()
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_LIBS})
  varnel_isa_flags(${ARG_SOURCES})
  varnel_warnings(${name})
endfunction()

# One GoogleTest program per subsystem; each test case becomes a CTest test of its own,
# which also gives every case a fresh process. QT programs share one main with an offscreen
# application object.
function(varnel_test name)
  cmake_parse_arguments(ARG "QT" "" "SOURCES;LIBS;ENV" ${ARGN})
  if(ARG_QT)
    add_executable(${name} ${ARG_SOURCES} ${PROJECT_SOURCE_DIR}/tests/support/qt_test_main.cpp)
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} Qt6::Widgets Qt6::Test GTest::gtest GTest::gmock)
    list(APPEND ARG_ENV "QT_QPA_PLATFORM=offscreen")
  else()
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  endif()
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  target_compile_definitions(${name} PRIVATE
    VARNEL_PROGRAM_DIR="${VARNEL_PROGRAM_DIR}"
    VARNEL_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  varnel_warnings(${name})
  gtest_discover_tests(${name}
    PROPERTIES ENVIRONMENT "${ARG_ENV}" TIMEOUT 120
    DISCOVERY_TIMEOUT 60)
endfunction()

# The folders of a complete program folder, created beside the executables.
set(VARNEL_PROGRAM_SUBDIRS
  Filter Filter/Batch Ext Animation/Effect Brush/Presets Brush/Shape Brush/Texture
  res res/PaletteMenu Save Ptv NetData SendTemp)

function(varnel_program_folder)
  set(dirs)
  foreach(sub ${VARNEL_PROGRAM_SUBDIRS})
    list(APPEND dirs ${VARNEL_PROGRAM_DIR}/${sub})
  endforeach()
  add_custom_target(program_folder ALL
    COMMAND ${CMAKE_COMMAND} -E make_directory ${dirs}
    COMMENT "Laying out the program folder in ${VARNEL_PROGRAM_DIR}")
endfunction()

# A library of the program folder's Ext/ (a component or extension library): "Name.so" with no
# "lib" prefix, only the exports its version script names, every symbol resolved inside it.
#   varnel_ext_module(Target SOURCES ... LIBS ... MAP file.map)
function(varnel_ext_module target)
  cmake_parse_arguments(ARG "" "MAP" "SOURCES;LIBS" ${ARGN})
  add_library(${target} MODULE ${ARG_SOURCES})
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(${target} PRIVATE ${ARG_LIBS})
  set_target_properties(${target} PROPERTIES
    PREFIX "" OUTPUT_NAME ${target} SUFFIX ".so"
    LIBRARY_OUTPUT_DIRECTORY ${VARNEL_PROGRAM_DIR}/Ext
    LINK_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${ARG_MAP})
  target_link_options(${target} PRIVATE -Wl,--version-script=${CMAKE_CURRENT_SOURCE_DIR}/${ARG_MAP})
  # Sanitizer and fuzzer builds leave their run-time hooks to the host executable, so they
  # cannot check that every symbol resolves.
  if(NOT VARNEL_SANITIZE AND NOT VARNEL_BUILD_FUZZ)
    target_link_options(${target} PRIVATE -Wl,--no-undefined)
  endif()
  varnel_warnings(${target})
endfunction()
