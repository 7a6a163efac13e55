# Tests of the Win32 adapters (platform/win32/) against the real platform, one program per
# subsystem label, with what each needs beside its sources.
set(platform_tests ${CMAKE_CURRENT_LIST_DIR})

torvo_test(wine_selection LABELS selection LIBS torvo_wine_support SOURCES
           ${platform_tests}/drop_list_wine_test.cpp ${platform_tests}/protected_paths_wine_test.cpp
           ${platform_tests}/selection_wine_test.cpp)
# ANSI drop-file lists read by a process whose ANSI code page is 936.
torvo_test(wine_selection_cp936 LABELS selection LIBS torvo_wine_support ENVIRONMENT LC_ALL=zh_CN.UTF-8
           SOURCES ${platform_tests}/code_page_936/drop_list_cp936_test.cpp)

# The agent's adapters: the module texts as a resource of the test program, the stand-in agent
# beside the tests, a small DLL that starts the agent from its own folder and one whose entry point
# can hold up the start of the next thread.
torvo_test(wine_agent LABELS agent LIBS torvo_wine_support SOURCES
           ${platform_tests}/agent_channel_wine_test.cpp ${platform_tests}/agent_launch_wine_test.cpp
           ${platform_tests}/load_caches_wine_test.cpp
           ${platform_tests}/temp_files_wine_test.cpp ${platform_tests}/texts_and_menu_wine_test.cpp
           ${platform_tests}/vault_move_wine_test.cpp ${platform_tests}/texts.rc)
target_compile_options(wine_agent PRIVATE $<$<COMPILE_LANGUAGE:RC>:-c 65001>)
target_include_directories(wine_agent PRIVATE ${CMAKE_SOURCE_DIR}/resources)
set_source_files_properties(${platform_tests}/texts.rc PROPERTIES OBJECT_DEPENDS ${CMAKE_SOURCE_DIR}/resources/torvo_texts.rc)
# Every test that starts the agent finds zebtorvofloat.exe in bin/.
add_dependencies(torvo_wine_support zebtorvofloat)

function(torvo_probe_dll name source)
  add_library(${name} SHARED ${platform_tests}/probes/${source})
  set_target_properties(${name} PROPERTIES PREFIX "")
  target_link_libraries(${name} PRIVATE torvo_win32)
  torvo_warnings(${name})
endfunction()
torvo_probe_dll(agent_launch_probe launch_probe_dll.cpp)
torvo_probe_dll(thread_start_probe thread_start_probe_dll.cpp)
# The doctor's tests plant it where a hostile program would.
torvo_probe_dll(planted_mark planted_mark_dll.cpp)
add_dependencies(wine_doctor planted_mark)
add_dependencies(wine_agent agent_launch_probe thread_start_probe torvo-move)

# The registrar's adapters: REGISTRY resource 1 in the test program itself and in a small DLL beside it.
torvo_test(wine_registrar LABELS registrar LIBS torvo_wine_support SOURCES
           ${platform_tests}/registry_resource_wine_test.cpp ${platform_tests}/win32_registry_wine_test.cpp
           ${platform_tests}/registrar_module.rc)
set_source_files_properties(${platform_tests}/registrar_module.rc PROPERTIES
    OBJECT_DEPENDS ${platform_tests}/module_script.rgs)
torvo_probe_dll(torvo_registrar_module registrar_module_dll.cpp)
target_sources(torvo_registrar_module PRIVATE ${platform_tests}/registrar_module.rc)
add_dependencies(wine_registrar torvo_registrar_module)
