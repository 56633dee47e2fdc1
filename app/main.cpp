#include "Aplicacao.h"
#include "MenuPrin.h"

int main(int argc, char** argv)
{
    TAplicacao aplicacao(argc, argv);
    TMenuPrin janela;
    janela.ExibeInicial();
    return aplicacao.exec();
}
