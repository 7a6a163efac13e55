# The agent suite's extras: the module texts as a resource of the test program, the stand-in agent
# beside the tests, and a small DLL that starts the agent from its own folder.
target_sources(wine_agent PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/agent/texts.rc)
target_compile_options(wine_agent PRIVATE $<$<COMPILE_LANGUAGE:RC>:-c 65001>)

# Every test that starts the agent finds zebtorvofloat.exe in bin/.
add_dependencies(torvo_wine_support zebtorvofloat)

add_library(agent_launch_probe SHARED ${CMAKE_CURRENT_SOURCE_DIR}/agent/probes/launch_probe_dll.cpp)
set_target_properties(agent_launch_probe PROPERTIES PREFIX "")
target_link_libraries(agent_launch_probe PRIVATE torvo_win32)
torvo_warnings(agent_launch_probe)
add_dependencies(wine_agent agent_launch_probe)

# A DLL whose entry point can hold up the start of the next thread, for the bounded lookup.
add_library(thread_start_probe SHARED ${CMAKE_CURRENT_SOURCE_DIR}/agent/probes/thread_start_probe_dll.cpp)
set_target_properties(thread_start_probe PROPERTIES PREFIX "")
torvo_warnings(thread_start_probe)
add_dependencies(wine_agent thread_start_probe)
