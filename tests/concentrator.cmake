linkor_teste(teste_registros FONTES TesteRegistros.cpp LIBS concentrator)
