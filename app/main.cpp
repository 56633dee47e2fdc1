#include "Aplicacao.h"
#include "MenuPrin.h"

int main(int argc, char** argv)
{
    TAplicacao::BloqueiaSinais();
    TAplicacao aplicacao(argc, argv);
    aplicacao.InstalaTratamentoSinais();
    TMenuPrin janela;
    janela.ExibeInicial();
    return aplicacao.exec();
}
