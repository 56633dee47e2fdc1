# The window, offscreen, and the whole program.
linkor_teste(teste_menuprin FONTES TesteMenuPrin.cpp PostoTeste.h LIBS gui)
linkor_teste(teste_fim_a_fim FONTES TesteFimAFim.cpp PostoTeste.h SimuladorTeste.h LIBS gui)
add_dependencies(teste_fim_a_fim Companytec concentrador-sim)
linkor_teste(teste_sinais FONTES TesteSinais.cpp SimuladorTeste.h LIBS db)
add_dependencies(teste_sinais linkor Companytec concentrador-sim)
linkor_teste(teste_numedit FONTES TesteNumEdit.cpp LIBS gui)
linkor_teste(teste_form_basico FONTES TesteFormBasico.cpp PostoTeste.h LIBS gui)
linkor_teste(teste_altera_preco FONTES TesteAlteraPreco.cpp PostoTeste.h LIBS gui)
linkor_teste(teste_dialogos_encerrantes FONTES TesteDialogosEncerrantes.cpp PostoTeste.h LIBS gui)
# Power cuts: the program itself frozen and killed at random moments, then started again.
linkor_teste(teste_quedas FONTES TesteQuedas.cpp FalhasTeste.h SimuladorTeste.h LIBS db)
add_dependencies(teste_quedas linkor Companytec concentrador-sim)
