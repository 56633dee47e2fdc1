linkor_teste(teste_logs FONTES TesteLogs.cpp LIBS app)
linkor_teste(teste_menuprin FONTES TesteMenuPrin.cpp PostoTeste.h LIBS app)
linkor_teste(teste_abastecimentos FONTES TesteAbastecimentos.cpp PostoTeste.h LIBS app)
