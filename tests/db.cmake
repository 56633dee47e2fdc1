linkor_teste(TesteConexao FONTES TesteConexao.cpp ServidorFirebird.h LIBS db)
linkor_teste(TesteBanco FONTES TesteBanco.cpp LIBS db)
