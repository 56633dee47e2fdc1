linkor_teste(teste_conexao FONTES TesteConexao.cpp ServidorFirebird.h LIBS db)
linkor_teste(teste_banco FONTES TesteBanco.cpp LIBS db)
