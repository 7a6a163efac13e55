# Server suite: what the wine_server tests need beside their sources, and the host-side checks of the
# built binaries (ctest, labels wine and server).

# The DLL whose resources and type library the tests read: TorvoShellMenu.dll once the server
# builds it; before that, a resource-only DLL made of the same resources stands in for it.
if(TARGET TorvoShellMenu)
  set(torvo_resource_dll TorvoShellMenu)
else()
  add_library(torvo_resource_probe SHARED $<TARGET_OBJECTS:torvo_resources>)
  set_target_properties(torvo_resource_probe PROPERTIES LINKER_LANGUAGE C PREFIX "")
  set(torvo_resource_dll torvo_resource_probe)
endif()

if(TARGET wine_server)
  add_dependencies(wine_server ${torvo_resource_dll})
  # Host paths reach the tests through Wine's drive Z:, which is the host's root.
  target_compile_definitions(wine_server PRIVATE
      TORVO_RESOURCE_DLL="$<TARGET_FILE_NAME:${torvo_resource_dll}>"
      TORVO_SOURCE_DIR="Z:${CMAKE_SOURCE_DIR}"
      TORVO_TYPELIB_FILE="Z:${CMAKE_BINARY_DIR}/resources/generated/TorvoShellMenu.tlb")
  # The proxy file list and the generated header; version.dll for VerQueryValueW.
  target_link_libraries(wine_server PRIVATE torvo_proxy version)
endif()


find_program(TORVO_OBJDUMP NAMES x86_64-w64-mingw32-objdump objdump REQUIRED)

# torvo_binary_check(NAME <test> COMMAND <args...>): a host-side check labelled wine;server.
function(torvo_binary_check)
  cmake_parse_arguments(C "" "NAME" "COMMAND" ${ARGN})
  add_test(NAME ${C_NAME} COMMAND ${C_COMMAND})
  set_tests_properties(${C_NAME} PROPERTIES LABELS "wine;server")
endfunction()

if(TARGET TorvoShellMenu)
  # A first menu in a fresh process does not load OLEAUT32; the 32-bit DLL imports it as usual.
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(oleaut32_load at-once)
  else()
    set(oleaut32_load delayed)
  endif()
  torvo_binary_check(NAME server.oleaut32_loads_${oleaut32_load}
      COMMAND sh ${CMAKE_SOURCE_DIR}/cmake/check-first-use.sh ${TORVO_OBJDUMP} $<TARGET_FILE:TorvoShellMenu>
              oleaut32.dll ${oleaut32_load})
  torvo_binary_check(NAME server.exports_are_the_five_entry_points
      COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/check_exports.sh ${TORVO_OBJDUMP} $<TARGET_FILE:TorvoShellMenu>)
  torvo_binary_check(NAME server.dll_imports_system_dlls_only
      COMMAND sh ${CMAKE_SOURCE_DIR}/cmake/check-imports.sh ${TORVO_OBJDUMP} $<TARGET_FILE:TorvoShellMenu>)
endif()
# Support desks run the doctor from download folders, and the installer the package step as SYSTEM:
# what they and the mover import at start are known DLLs, which never come from beside them.
foreach(program torvo-doctor torvo-move torvo-package)
  if(TARGET ${program})
    torvo_binary_check(NAME ${program}.imports_known_dlls_only
        COMMAND sh ${CMAKE_SOURCE_DIR}/cmake/check-imports.sh ${TORVO_OBJDUMP} $<TARGET_FILE:${program}> known)
  endif()
endforeach()
if(TARGET zebtorvofloat)
  torvo_binary_check(NAME server.agent_imports_system_dlls_only
      COMMAND sh ${CMAKE_SOURCE_DIR}/cmake/check-imports.sh ${TORVO_OBJDUMP} $<TARGET_FILE:zebtorvofloat>)
endif()

# The class table is also tested on its own, with a factory creator of the test's.
if(TARGET wine_server AND NOT TORVO_END_TO_END_ONLY)
  target_sources(wine_server PRIVATE ${CMAKE_SOURCE_DIR}/server/class_table.cpp ${CMAKE_SOURCE_DIR}/server/module.cpp)
endif()

# The unload test's baseline, the platform's share: bench/wine's minimal_handler.dll.
if(TARGET wine_server AND NOT TORVO_END_TO_END_ONLY)
  add_dependencies(wine_server minimal_handler)
endif()
