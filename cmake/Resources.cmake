# Copies what the bundle carries into a Resources folder beside a target's executable folder.
function(velloran_bundle_resources target destination)
  file(GLOB_RECURSE resource_files CONFIGURE_DEPENDS
       ${PROJECT_SOURCE_DIR}/Resources/*.png ${PROJECT_SOURCE_DIR}/Resources/*.rtfd/*)
  set(outputs)
  foreach(file ${resource_files})
    file(RELATIVE_PATH relative ${PROJECT_SOURCE_DIR}/Resources ${file})
    set(output ${destination}/${relative})
    add_custom_command(OUTPUT ${output}
                       COMMAND ${CMAKE_COMMAND} -E copy_if_different ${file} ${output}
                       DEPENDS ${file} VERBATIM)
    list(APPEND outputs ${output})
  endforeach()
  add_custom_target(${target}_resources DEPENDS ${outputs})
  add_dependencies(${target} ${target}_resources)
endfunction()
