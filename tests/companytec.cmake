# The CompanyTec driver, our concentrator library and the simulator.
# The driver loads one library per process for good, so each library under test gets its own executable.

# Recording stand-ins for the vendor library; the incomplete one lacks some entries.
foreach(bib CompanytecTeste CompanytecIncompleta)
  add_library(${bib} SHARED bibteste/BibTeste.cpp ${PROJECT_SOURCE_DIR}/companytec/EntradasCompanytec.h)
  target_include_directories(${bib} PRIVATE ${PROJECT_SOURCE_DIR}/companytec)
  set_target_properties(${bib} PROPERTIES AUTOMOC OFF CXX_VISIBILITY_PRESET hidden)
endforeach()
target_compile_definitions(CompanytecIncompleta PRIVATE BIBTESTE_INCOMPLETA)

linkor_teste(teste_companytec_driver FONTES TesteCompanyTec.cpp LIBS concentrator ${CMAKE_DL_LIBS})
add_dependencies(teste_companytec_driver CompanytecTeste)

linkor_teste(teste_companytec_carga FONTES TesteCompanyTecCarga.cpp LIBS concentrator ${CMAKE_DL_LIBS})
add_dependencies(teste_companytec_carga CompanytecIncompleta)

linkor_teste(teste_protocolo FONTES TesteProtocolo.cpp LIBS companytec_protocolo concentrator)

linkor_teste(teste_simulador FONTES TesteSimulador.cpp LIBS concentrator)
add_dependencies(teste_simulador Companytec concentrador-sim)

# A slow but working line, through the library and the simulator; its own process, as the library
# learns the line for good.
linkor_teste(teste_linha_lenta FONTES TesteLinhaLenta.cpp LIBS concentrator)
add_dependencies(teste_linha_lenta Companytec concentrador-sim)
