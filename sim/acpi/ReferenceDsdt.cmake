# The reference board's DSDT: compiled from ASL by iasl and embedded in the
# sim library, so platsim needs no files at run time. Included by
# sim/CMakeLists.txt (the generated source must belong to the sim target's
# directory).
include(Asl)
set(reference_dsdt_dir ${CMAKE_CURRENT_BINARY_DIR}/acpi)
asl_compile(reference_dsdt_aml ${reference_dsdt_dir}
            ${CMAKE_CURRENT_SOURCE_DIR}/acpi/ReferenceDsdt.asl)
set(reference_dsdt_cpp ${reference_dsdt_dir}/ReferenceDsdtAml.cpp)
add_custom_command(OUTPUT ${reference_dsdt_cpp}
  COMMAND ${CMAKE_COMMAND} -DINPUT=${reference_dsdt_aml} -DOUTPUT=${reference_dsdt_cpp}
          -DSYMBOL=kReferenceDsdtAml -DNAMESPACE=sim
          -P ${CMAKE_SOURCE_DIR}/cmake/EmbedBinary.cmake
  DEPENDS ${reference_dsdt_aml} ${CMAKE_SOURCE_DIR}/cmake/EmbedBinary.cmake
  COMMENT "Embedding ReferenceDsdt.aml"
  VERBATIM)
target_sources(sim PRIVATE ${reference_dsdt_cpp})
