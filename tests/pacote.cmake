# The Debian packages, built by scripts/pacote (lintian included) into the build tree once per
# run, then checked and run from a temporary root. Not in the sanitizer build: it tests packaging.
if(NOT LINKOR_SANITIZAR AND NOT LINKOR_FUZZ)
  add_test(NAME pacote_constroi
           COMMAND ${CMAKE_COMMAND} -E env LINKOR_PACOTE_SEM_SETUP=1
                   LINKOR_PACOTE_OBRA=${CMAKE_BINARY_DIR}/pacote-obra
                   ${PROJECT_SOURCE_DIR}/scripts/pacote ${CMAKE_BINARY_DIR}/pacotes)
  set_tests_properties(pacote_constroi PROPERTIES FIXTURES_SETUP pacote TIMEOUT 3600 RUN_SERIAL TRUE)
  linkor_teste(teste_pacote FONTES TestePacote.cpp)
  set_tests_properties(teste_pacote PROPERTIES FIXTURES_REQUIRED pacote
                       ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LINKOR_PACOTES=${CMAKE_BINARY_DIR}/pacotes")
endif()
