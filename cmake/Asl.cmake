# asl_compile(<out var> <output dir> <asl files...>)
#
# Compiles ASL sources into AML tables with iasl at build time; <out var> gets
# the .aml paths. A source whose first line reads `// iasl-flags: <flags>`
# is compiled with those extra flags (for example -oa, which keeps root prefixes).
find_program(IASL_PROGRAM iasl REQUIRED)

function(asl_compile out_var out_dir)
  set(amls)
  foreach(asl IN LISTS ARGN)
    get_filename_component(name ${asl} NAME_WE)
    file(STRINGS ${asl} first_line LIMIT_COUNT 1)
    set(flags)
    if(first_line MATCHES "^// iasl-flags: (.*)$")
      separate_arguments(flags UNIX_COMMAND "${CMAKE_MATCH_1}")
    endif()
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${asl})
    set(aml ${out_dir}/${name}.aml)
    add_custom_command(OUTPUT ${aml}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${out_dir}
      COMMAND ${IASL_PROGRAM} -vs -vi ${flags} -p ${out_dir}/${name} ${asl}
      DEPENDS ${asl}
      COMMENT "iasl ${name}.asl"
      VERBATIM)
    list(APPEND amls ${aml})
  endforeach()
  set(${out_var} ${amls} PARENT_SCOPE)
endfunction()
