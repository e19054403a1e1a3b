# firmware_driver(NAME <image name> ENTRY <entry symbol> DIR <source folder>
#                 SUBSYSTEM <efi_boot_service_driver|efi_application>
#                 SOURCES <further sources, shared with other images>)
#
# Image build: <NAME>.efi, a PE32+ image of the folder's sources and the support
# library. Host build: a static library of the same sources (lower-case name),
# plus the folder's *.host.cpp files (host-only helpers such as state reset).
function(firmware_driver)
  cmake_parse_arguments(FD "" "NAME;ENTRY;DIR;LIBRARY;SUBSYSTEM" "SOURCES" ${ARGN})
  if(NOT FD_SUBSYSTEM)
    set(FD_SUBSYSTEM efi_boot_service_driver)
  endif()
  file(GLOB_RECURSE all CONFIGURE_DEPENDS ${FD_DIR}/*.cpp)
  set(common ${FD_SOURCES})
  set(hostonly)
  foreach(f IN LISTS all)
    if(f MATCHES "\\.host\\.cpp$")
      list(APPEND hostonly ${f})
    else()
      list(APPEND common ${f})
    endif()
  endforeach()
  if(EFI_IMAGE_BUILD)
    add_executable(${FD_NAME} ${common})
    target_include_directories(${FD_NAME} PRIVATE ${CMAKE_SOURCE_DIR}/platform ${CMAKE_SOURCE_DIR})
    target_link_libraries(${FD_NAME} PRIVATE support)
    set_target_properties(${FD_NAME} PROPERTIES
      LINK_FLAGS "/subsystem:${FD_SUBSYSTEM} /entry:${FD_ENTRY}")
    # lld-link writes an import library beside a /dll image: nobody wants it.
    add_custom_command(TARGET ${FD_NAME} POST_BUILD
      COMMAND ${CMAKE_COMMAND} -E rm -f $<TARGET_FILE_DIR:${FD_NAME}>/${FD_NAME}.lib)
  else()
    add_library(${FD_LIBRARY} STATIC ${common} ${hostonly})
    target_include_directories(${FD_LIBRARY} PUBLIC ${CMAKE_SOURCE_DIR}/platform ${CMAKE_SOURCE_DIR})
    target_link_libraries(${FD_LIBRARY} PUBLIC support)
  endif()
endfunction()
