# The headless service's notifications and answers.
linkor_teste(teste_servico FONTES TesteServico.cpp LIBS servico core)
# The station folder of this build when nothing names one (the package build has one).
target_compile_definitions(teste_servico PRIVATE LINKOR_PASTA_POSTO_DA_CONSTRUCAO="${LINKOR_PASTA_POSTO}")
