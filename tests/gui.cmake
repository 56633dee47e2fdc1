linkor_teste(teste_numedit FONTES TesteNumEdit.cpp LIBS gui)
