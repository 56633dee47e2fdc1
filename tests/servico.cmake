# The headless service's notifications and answers.
linkor_teste(teste_servico FONTES TesteServico.cpp LIBS servico core)
# The station folder of this build when nothing names one (the package build has one).
target_compile_definitions(teste_servico PRIVATE LINKOR_PASTA_POSTO_DA_CONSTRUCAO="${LINKOR_PASTA_POSTO}")
# The station on the system bus: the service on a private dbus-daemon with the package's policy,
# asked by linkorctl.
linkor_teste(teste_barramento FONTES TesteBarramento.cpp SimuladorTeste.h LIBS barramento core db diario)
target_compile_definitions(teste_barramento PRIVATE
  LINKOR_POLITICA_BARRAMENTO="${PROJECT_SOURCE_DIR}/barramento/br.com.linkor.Posto.conf"
  LINKOR_BARRAMENTO_TESTE="${CMAKE_CURRENT_SOURCE_DIR}/barramento-sistema.conf")
add_dependencies(teste_barramento linkor-servico linkorctl Companytec concentrador-sim)
