# The engine, without a display.
linkor_teste(teste_logs FONTES TesteLogs.cpp LIBS core)
linkor_teste(teste_abastecimentos FONTES TesteAbastecimentos.cpp PostoTeste.h LIBS core)
linkor_teste(teste_servico_altera_preco FONTES TesteServicoAlteraPreco.cpp PostoTeste.h LIBS core)
linkor_teste(teste_encerrantes FONTES TesteEncerrantes.cpp PostoTeste.h LIBS core)
linkor_teste(teste_funcoes_operador FONTES TesteFuncoesOperador.cpp PostoTeste.h LIBS core)
# Every operator step through the operator interface leaves its line in LogOperacoes.
linkor_teste(teste_log_operacoes FONTES TesteLogOperacoes.cpp PostoTeste.h SimuladorTeste.h LIBS core)
add_dependencies(teste_log_operacoes Companytec concentrador-sim)
# Faults while fuelings keep coming: link, database server, another program on the same database.
linkor_teste(teste_falhas FONTES TesteFalhas.cpp FalhasTeste.h PostoTeste.h ServidorFirebird.h SimuladorTeste.h
             LIBS core)
add_dependencies(teste_falhas Companytec concentrador-sim)
linkor_teste_nos_dois_contratos(teste_falhas)
linkor_teste(teste_inicio FONTES TesteInicio.cpp PostoTeste.h LIBS core)
# Another account's Linkor on the same station is the headless service.
add_dependencies(teste_inicio linkor-servico)
