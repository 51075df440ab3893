# The Windows executable's resources: manifest, icon (drawn at build time) and version block.
find_package(Python3 REQUIRED COMPONENTS Interpreter)

function(instalador_win32_resources target)
  set(dir ${PROJECT_SOURCE_DIR}/src/ui/win32/resources)
  set(out ${CMAKE_CURRENT_BINARY_DIR}/resources)
  set(INSTALADOR_DESCRIPTION "Instalação de scripts para o JAWS")
  set(INSTALADOR_VERSION_QUAD "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.0")
  set(INSTALADOR_VERSION_COMMAS "${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},${PROJECT_VERSION_PATCH},0")
  set(INSTALADOR_MANIFEST ${out}/instalador.manifest)
  set(INSTALADOR_ICON ${out}/instalador.ico)
  configure_file(${dir}/instalador.manifest.in ${INSTALADOR_MANIFEST} @ONLY)
  configure_file(${dir}/instalador.rc.in ${out}/instalador.rc @ONLY)
  add_custom_command(OUTPUT ${INSTALADOR_ICON}
    COMMAND ${Python3_EXECUTABLE} ${dir}/make_icon.py ${INSTALADOR_ICON}
    DEPENDS ${dir}/make_icon.py VERBATIM)
  target_sources(${target} PRIVATE ${out}/instalador.rc)
  set_source_files_properties(${out}/instalador.rc PROPERTIES
    OBJECT_DEPENDS "${INSTALADOR_ICON};${INSTALADOR_MANIFEST}")
endfunction()
