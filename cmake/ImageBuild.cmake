# The host build also builds the images, as a separate CMake build of the same
# tree with the image toolchain, so one `cmake --build` gives both.
include(ExternalProject)
find_program(LLD_LINK_PROGRAM NAMES lld-link lld-link-14)
if(NOT LLD_LINK_PROGRAM)
  message(WARNING "lld-link not found: the images are not built")
  return()
endif()
set(IMAGE_BINARY_DIR ${CMAKE_BINARY_DIR}/images)
ExternalProject_Add(images
  SOURCE_DIR ${CMAKE_SOURCE_DIR}
  BINARY_DIR ${IMAGE_BINARY_DIR}
  CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/uefi-x64-toolchain.cmake
  BUILD_ALWAYS ON
  INSTALL_COMMAND ""
  USES_TERMINAL_BUILD ON)
set(TPM_PLATFORM_IMAGE ${IMAGE_BINARY_DIR}/tpm_platform/TpmPlatformDxe.efi CACHE INTERNAL "")
set(BUTTON_SMM_IMAGE ${IMAGE_BINARY_DIR}/button_smm/ButtonSmm.efi CACHE INTERNAL "")
set(SMM_COMPAT_SMM_IMAGE ${IMAGE_BINARY_DIR}/smm_compat/SmmCompatSmm.efi CACHE INTERNAL "")
set(SMM_COMPAT_DXE_IMAGE ${IMAGE_BINARY_DIR}/smm_compat/SmmCompatDxe.efi CACHE INTERNAL "")
