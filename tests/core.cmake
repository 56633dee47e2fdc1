# The engine, without a display.
linkor_teste(teste_logs FONTES TesteLogs.cpp LIBS core)
linkor_teste(teste_abastecimentos FONTES TesteAbastecimentos.cpp PostoTeste.h LIBS core)
linkor_teste(teste_servico_altera_preco FONTES TesteServicoAlteraPreco.cpp PostoTeste.h LIBS core)
linkor_teste(teste_encerrantes FONTES TesteEncerrantes.cpp PostoTeste.h LIBS core)
linkor_teste(teste_funcoes_operador FONTES TesteFuncoesOperador.cpp PostoTeste.h LIBS core)
