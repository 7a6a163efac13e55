# Registrar suite: REGISTRY resource 1 in the test program itself and in a small DLL beside it.
set(registrar_wine_dir ${CMAKE_CURRENT_SOURCE_DIR}/registrar)
target_sources(wine_registrar PRIVATE ${registrar_wine_dir}/registrar_module.rc)
target_include_directories(wine_registrar PRIVATE ${registrar_wine_dir})
set_source_files_properties(${registrar_wine_dir}/registrar_module.rc PROPERTIES
    OBJECT_DEPENDS ${registrar_wine_dir}/module_script.rgs)

add_library(torvo_registrar_module SHARED ${registrar_wine_dir}/registrar_module_dll.cpp
            ${registrar_wine_dir}/registrar_module.rc)
target_include_directories(torvo_registrar_module PRIVATE ${registrar_wine_dir})
set_target_properties(torvo_registrar_module PROPERTIES PREFIX "")
torvo_warnings(torvo_registrar_module)
add_dependencies(wine_registrar torvo_registrar_module)
