linkor_teste(teste_textos FONTES TesteTextos.cpp LIBS common)
linkor_teste(teste_ini FONTES TesteIni.cpp LIBS common)
