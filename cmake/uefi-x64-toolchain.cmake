# Toolchain of the image build: freestanding C++20 compiled by clang for the
# x86_64 Windows target (MS ABI, LLP64) and linked by lld-link into PE32+
# boot-service drivers.
set(CMAKE_SYSTEM_NAME Generic)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(EFI_IMAGE_BUILD ON)

find_program(EFI_CLANGXX NAMES clang++ clang++-14 REQUIRED)
find_program(EFI_LLD_LINK NAMES lld-link lld-link-14 REQUIRED)
find_program(EFI_LLVM_AR NAMES llvm-ar llvm-ar-14 REQUIRED)
set(CMAKE_CXX_COMPILER ${EFI_CLANGXX})
set(CMAKE_AR ${EFI_LLVM_AR} CACHE FILEPATH "" FORCE)
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)

set(CMAKE_CXX_FLAGS_INIT
    "--target=x86_64-unknown-windows -std=c++20 -Os -Wall -Wextra -Werror -Werror=global-constructors -ffreestanding -fno-builtin \
-nostdlib -nostdlibinc -fno-exceptions -fno-rtti -fno-threadsafe-statics -mno-red-zone \
-fno-stack-protector -mno-stack-arg-probe -fno-asynchronous-unwind-tables -mgeneral-regs-only \
-ffunction-sections -fdata-sections")
set(CMAKE_CXX_FLAGS_RELEASE_INIT "")
# The images' flags belong to the project, not to a build directory: forced on
# every configure, so an existing image build picks up a change to them.
set(CMAKE_CXX_FLAGS "${CMAKE_CXX_FLAGS_INIT}" CACHE STRING "" FORCE)
set(CMAKE_BUILD_TYPE Release CACHE STRING "")
set(CMAKE_EXECUTABLE_SUFFIX_CXX ".efi")
set(CMAKE_CXX_OUTPUT_EXTENSION ".obj")
# Never /fixed: it drops the base relocations the loader needs.
set(CMAKE_CXX_LINK_EXECUTABLE
    "${EFI_LLD_LINK} /nodefaultlib /nologo /machine:x64 /dll /base:0 /opt:ref /filealign:32 <LINK_FLAGS> <OBJECTS> <LINK_LIBRARIES> /out:<TARGET>")

# A Generic system gets no header dependency tracking by default: without it
# an image is not rebuilt when only a header changed.
set(CMAKE_DEPFILE_FLAGS_CXX "-MD -MT <DEP_TARGET> -MF <DEP_FILE>")
set(CMAKE_CXX_DEPFILE_FORMAT gcc)
set(CMAKE_CXX_DEPENDS_USE_COMPILER TRUE)
