# Build settings shared by every target of the project, in both builds.

# Paths in what the compiler writes (__FILE__ in assertion messages, the debug information) are
# relative to the source and the build folder, so that an object depends on the sources alone,
# not on where the clone lies: the compiler cache then serves every clone of the machine.
add_compile_options("$<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${CMAKE_SOURCE_DIR}/=>"
                    "$<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${CMAKE_BINARY_DIR}/=>")
# The compiler cache, where the machine has it (scripts/common.sh installs it and keeps it with the
# project's other caches): a warm machine compiles each unchanged source once, whichever clone or
# tree builds it.
# A release tree goes without it (scripts/release.sh): the cache hands the compiler paths relative
# to the build folder, which the prefix maps above do not reach, so its objects name the sources
# otherwise than the compiler's own and the release would depend on the cache.
option(TORVO_COMPILER_CACHE "Compile through ccache where the machine has it" ON)
find_program(TORVO_CCACHE ccache)
if(TORVO_COMPILER_CACHE AND TORVO_CCACHE AND NOT DEFINED CMAKE_CXX_COMPILER_LAUNCHER)
  set(CMAKE_C_COMPILER_LAUNCHER ${TORVO_CCACHE})
  set(CMAKE_CXX_COMPILER_LAUNCHER ${TORVO_CCACHE})
endif()

# Warnings for the project's own targets (generated and third-party code is left alone).
function(torvo_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Werror)
endfunction()

# The fuzz tree: every target carries AddressSanitizer, UndefinedBehaviorSanitizer and libFuzzer's
# coverage instrumentation; the fuzz programs add libFuzzer's own main.
if(TORVO_FUZZ)
  add_compile_options(-fsanitize=address,undefined,fuzzer-no-link -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

if(WIN32)
  # One tree per Windows build: 64-bit (build/win), whose DLL serves Explorer and every 64-bit
  # program, and 32-bit (build/win32), whose TorvoShellMenu32.dll serves 32-bit programs' dialogs.
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(TORVO_DLL_NAME TorvoShellMenu32)
    set(TORVO_WIDL_MACHINE -m32)
    set(torvo_wine_dir /usr/lib/i386-linux-gnu/wine/i386-windows)
  else()
    set(TORVO_DLL_NAME TorvoShellMenu)
    set(TORVO_WIDL_MACHINE -m64)
    set(torvo_wine_dir /usr/lib/x86_64-linux-gnu/wine/x86_64-windows)
  endif()
  set(TORVO_STDOLE_DIR ${torvo_wine_dir} CACHE PATH "Folder of Wine's stdole2.tlb of this build's machine")
  # The 32-bit tree builds the DLL, the agent and the host, and of the Wine tests only those that
  # prove the DLL end to end (their sources are the 64-bit tree's).
  option(TORVO_END_TO_END_ONLY "Build only the DLL, the agent, the host and the end-to-end Wine tests" OFF)

  add_compile_definitions(UNICODE _UNICODE _WIN32_WINNT=0x0601 WINVER=0x0601 NOMINMAX)
  # The Windows binaries carry their C and C++ runtime support inside, so they import system DLLs only
  # (the ARM64 sysroot has static runtime libraries alone; GCC is told to take its static ones).
  add_link_options(-static $<$<CXX_COMPILER_ID:GNU>:-static-libgcc> $<$<CXX_COMPILER_ID:GNU>:-static-libstdc++>)
  # The .rc files are UTF-8. GNU windres gets by on their #pragma code_page(65001); llvm-windres
  # ignores the pragma. Target compile options never reach CMake's resource compiler command line.
  string(APPEND CMAKE_RC_FLAGS " --codepage=65001")
  set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
  set(CMAKE_LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)

  # Every Windows test runs under Wine in the prefix that scripts/common.sh (prepare_prefix) prepares.
  set(TORVO_WINEPREFIX "${CMAKE_BINARY_DIR}/../wine-prefix" CACHE PATH "Wine prefix of the test bench")
  get_filename_component(TORVO_WINEPREFIX "${TORVO_WINEPREFIX}" ABSOLUTE)
  set(TORVO_VAULT_HOST "${CMAKE_BINARY_DIR}/../vault" CACHE PATH "Host folder behind the test vault drive")
  get_filename_component(TORVO_VAULT_HOST "${TORVO_VAULT_HOST}" ABSOLUTE)
  # The 32-bit tree beside this one, whose DLL and programs the tests of both builds take.
  set(TORVO_WIN32_TREE "${CMAKE_BINARY_DIR}/../win32" CACHE PATH "The 32-bit tree beside this one")
  get_filename_component(TORVO_WIN32_TREE "${TORVO_WIN32_TREE}" ABSOLUTE)
  # The ARM64 tree runs its tests under Debian's arm64 Wine in a private root (scripts/arm64-wine.sh).
  set(TORVO_WINE_ROOT "" CACHE PATH "Root of an emulated Wine of this build's machine; empty: the machine's own Wine")
  configure_file(${CMAKE_SOURCE_DIR}/cmake/wine-run.in ${CMAKE_BINARY_DIR}/wine-run @ONLY
                 FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run)

  # Release (scripts/release.sh): optimised, with debug information that the release script moves
  # into a file of its own, and a build id in the debug directory that names this very build in a
  # crash dump.
  add_compile_options($<$<CONFIG:Release>:-g>)
  add_link_options($<$<CONFIG:Release>:-Wl,--build-id>)
  # Each release image's link map (maps/<target>.map): the bill of materials reads from it which
  # runtime archives and objects went into the image.
  file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/maps)
  add_link_options($<$<CONFIG:Release>:-Wl,-Map=${CMAKE_BINARY_DIR}/maps/$<TARGET_PROPERTY:NAME>.map>)
  # A release's one time (scripts/release.sh gives the commit's): GNU ld and lld stamp
  # SOURCE_DATE_EPOCH as each image's time. It is part of every link command, so another time
  # links again.
  set(TORVO_SOURCE_DATE_EPOCH "" CACHE STRING "Seconds since 1970 that the linkers stamp; empty: the time of the link")
  if(TORVO_SOURCE_DATE_EPOCH)
    foreach(lang C CXX)
      set(CMAKE_${lang}_LINKER_LAUNCHER ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${TORVO_SOURCE_DATE_EPOCH})
    endforeach()
  endif()
  # What ships stays at most 400 KB a DLL (server/terminate_handler.cpp does its part): the code and
  # data nothing refers to are dropped, and the 32-bit release is built for size, since its code and
  # its DWARF unwind tables (where the 64-bit DLL has compact SEH tables) make it larger.
  add_compile_options($<$<CONFIG:Release>:-ffunction-sections> $<$<CONFIG:Release>:-fdata-sections>)
  add_link_options($<$<CONFIG:Release>:-Wl,--gc-sections>)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    add_compile_options($<$<CONFIG:Release>:-Os>)
  endif()
endif()

# torvo_version_record(TARGET DESCRIPTION): gives a Windows program the version record of the
# project's version (resources/program_version.rc.in), as the DLL has one; Windows Installer compares
# it with an installed copy's.
function(torvo_version_record target description)
  set(TORVO_PROGRAM_NAME ${target})
  set(TORVO_PROGRAM_FILE ${target}.exe)
  set(TORVO_PROGRAM_DESCRIPTION ${description})
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc)
  configure_file(${CMAKE_SOURCE_DIR}/resources/program_version.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
  target_include_directories(${target} PRIVATE ${CMAKE_BINARY_DIR}/resources/generated)
  set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS ${CMAKE_BINARY_DIR}/resources/generated/torvo_version.h)
endfunction()

# torvo_link_on_first_use(TARGET DLL CALL...): links TARGET to the system DLL (its name without
# ".dll") for loading on its first call rather than with TARGET; the calls are the DLL's functions
# TARGET uses. GNU ld takes a delay-import library that dlltool makes from them; lld a switch. A
# 32-bit TARGET imports the DLL as usual: a call through dlltool's 32-bit delay-import library
# jumps to the DLL's base address (a crash, seen under Wine with OLEAUT32).
function(torvo_link_on_first_use target dll)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    target_link_libraries(${target} PRIVATE ${dll})
    return()
  endif()
  if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    target_link_libraries(${target} PRIVATE ${dll})
    target_link_options(${target} PRIVATE -Wl,--delayload=${dll}.dll)
    return()
  endif()
  list(JOIN ARGN "\n" calls)
  string(TOUPPER ${dll} upper)
  set(dir ${CMAKE_BINARY_DIR}/${dll}_delayed)
  file(WRITE ${dir}/${dll}.def "LIBRARY ${upper}.dll\nEXPORTS\n${calls}\n")
  string(REGEX REPLACE "g\\+\\+-posix$" "dlltool" dlltool "${CMAKE_CXX_COMPILER}")
  # dlltool names the library's symbols after the path it is given: a name alone keeps the build
  # folder out of them (and out of the image's build id).
  add_custom_command(OUTPUT ${dir}/lib${dll}_delayed.a
    COMMAND ${dlltool} --input-def ${dll}.def --output-delaylib lib${dll}_delayed.a
    WORKING_DIRECTORY ${dir} DEPENDS ${dir}/${dll}.def VERBATIM)
  add_custom_target(${target}_${dll}_delayed DEPENDS ${dir}/lib${dll}_delayed.a)
  add_dependencies(${target} ${target}_${dll}_delayed)
  target_link_libraries(${target} PRIVATE ${dir}/lib${dll}_delayed.a)
endfunction()

# OLEAUT32 on its first call: Explorer's menu needs none of it (the type library and BSTRs serve
# registration and the dispatch interface), and a first menu in a fresh process (COM's surrogate)
# then does not pay for its load.
function(torvo_link_oleaut32_on_first_use target)
  torvo_link_on_first_use(${target} oleaut32 LoadRegTypeLib LoadTypeLib RegisterTypeLib SysAllocString SysFreeString
                          SysStringLen UnRegisterTypeLib VarUI4FromStr)
endfunction()

# Google Test: the system library natively, Debian's sources cross-built for Windows.
if(WIN32)
  set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
elseif(NOT TORVO_FUZZ)
  find_package(GTest REQUIRED)
endif()
include(GoogleTest)

# torvo_test(NAME LABELS <labels...> SOURCES <files...> LIBS <libs...> [ENVIRONMENT <VAR=value...>]
#            [FILTER <gtest filter>])
# A GoogleTest program whose cases (those FILTER matches) ctest lists one by one; Windows programs run
# under Wine, each case within TORVO_TEST_TIMEOUT seconds.
set(TORVO_TEST_TIMEOUT 120 CACHE STRING "Seconds a test case may take (longer under emulation)")
# The tests' machines run loaded, where the agent's answer can take seconds: under Wine the DLL's
# questions to the agent wait this long in the tests (platform/win32/wine_bench.h); the rows about
# an agent that does not answer, and the benchmarks, take the product's bound.
set(TORVO_TEST_AGENT_BOUND TORVO_AGENT_BOUND_MS=20000)

function(torvo_test name)
  cmake_parse_arguments(T "" "FILTER" "LABELS;SOURCES;LIBS;ENVIRONMENT" ${ARGN})
  if(NOT T_FILTER)
    set(T_FILTER "*")
  endif()
  add_executable(${name} ${T_SOURCES})
  torvo_warnings(${name})
  if(WIN32)
    target_link_libraries(${name} PRIVATE ${T_LIBS} gmock gtest_main)
    set(platform_label wine)
    list(APPEND T_ENVIRONMENT ${TORVO_TEST_AGENT_BOUND})
  else()
    target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gmock GTest::gtest_main)
    set(platform_label native)
  endif()
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT ${TORVO_TEST_TIMEOUT} TEST_FILTER ${T_FILTER}
                       TEST_LIST ${name}_TESTS PROPERTIES TIMEOUT ${TORVO_TEST_TIMEOUT} ENVIRONMENT "${T_ENVIRONMENT}")
  # Discovery writes one value per property, so the list of labels is set after it.
  set(labels_file ${CMAKE_CURRENT_BINARY_DIR}/${name}_labels.cmake)
  file(WRITE ${labels_file}
       "foreach(t IN LISTS ${name}_TESTS)\n  set_tests_properties(\"\${t}\" PROPERTIES LABELS \"${platform_label};${T_LABELS}\")\nendforeach()\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${labels_file})
endfunction()
