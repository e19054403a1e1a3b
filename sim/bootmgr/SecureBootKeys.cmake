# Secure Boot key material for the board: self-signed certificates made with
# openssl and turned into EFI_SIGNATURE_LISTs with efitools' cert-to-efi-sig-list
# at build time, then embedded into the sim library (SecureBootKeys.h).
find_program(OPENSSL_PROGRAM openssl REQUIRED)
find_program(CERT_TO_EFI_SIG_LIST cert-to-efi-sig-list REQUIRED)

set(keys_dir ${CMAKE_CURRENT_BINARY_DIR}/secureboot)
# The signature owner of every list (the board's "platform vendor").
set(owner 5C7A2E1B-8D3F-4A61-9B0E-2F4D6C8A1E37)
set(embed_files)
set(esl_outputs)
foreach(key PK KEK db dbx)
  set(cert ${keys_dir}/${key}.crt)
  set(esl ${keys_dir}/${key}.esl)
  add_custom_command(
    OUTPUT ${esl}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${keys_dir}
    COMMAND ${OPENSSL_PROGRAM} req -x509 -newkey rsa:2048 -nodes -sha256 -days 3650
            -subj "/CN=Laptop platform simulator ${key}/" -keyout ${keys_dir}/${key}.key
            -out ${cert}
    COMMAND ${CERT_TO_EFI_SIG_LIST} -g ${owner} ${cert} ${esl}
    COMMENT "Secure Boot ${key}: certificate and EFI_SIGNATURE_LIST"
    VERBATIM)
  list(APPEND embed_files "k${key}SignatureList=${esl}")
  list(APPEND esl_outputs ${esl})
endforeach()

set(keys_cpp ${keys_dir}/SecureBootKeys.cpp)
add_custom_command(
  OUTPUT ${keys_cpp}
  COMMAND ${CMAKE_COMMAND} -DOUTPUT=${keys_cpp} -DNAMESPACE=sim::bootmgr
          "-DFILES=${embed_files}" -P ${CMAKE_SOURCE_DIR}/cmake/EmbedFiles.cmake
  DEPENDS ${esl_outputs} ${CMAKE_SOURCE_DIR}/cmake/EmbedFiles.cmake
  COMMENT "Embedding the Secure Boot signature lists"
  VERBATIM)
target_sources(sim PRIVATE ${keys_cpp})
