# The headless service's notifications and answers.
linkor_teste(teste_servico FONTES TesteServico.cpp LIBS servico)
