// Creates a demo station database: cria-posto [--substitui] PATH
// Lists the fuelings a station database holds: cria-posto --lista PATH
#include "Conexao.h"
#include "Erro.h"
#include "Posto.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>

namespace {

int ListaAbastecimentos(const QString& caminho)
{
    TConexao conexao;
    conexao.DefineParametro(QStringLiteral("Database"), caminho);
    conexao.DefineParametro(QStringLiteral("User_Name"), QStringLiteral("SYSDBA"));
    conexao.Conecta();
    TConsulta consulta(&conexao);
    consulta.DefineSQL(QStringLiteral("Select Sequencia, Id, Data, Hora, CodBico, Combustivel, Litragem, PrecoUnit, "
                                      "Valor, EncerranteFinal From MvAbast Order By Sequencia, Id"));
    consulta.Abre();
    QTextStream saida(stdout);
    const QStringList colunas = {"Sequencia", "Id", "Data", "Hora", "CodBico", "Combustivel", "Litragem",
                                 "PrecoUnit", "Valor", "EncerranteFinal"};
    saida << colunas.join(QStringLiteral(" | ")) << "\n";
    for (; !consulta.Fim(); consulta.Proximo()) {
        QStringList valores;
        for (const QString& coluna : colunas)
            valores << consulta.CampoTexto(coluna);
        saida << valores.join(QStringLiteral(" | ")) << "\n";
    }
    saida << consulta.QuantidadeLinhas() << " abastecimento(s)\n";
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication aplicacao(argc, argv);
    QTextStream erro(stderr);
    QStringList argumentos = aplicacao.arguments().mid(1);
    const bool substitui = argumentos.removeAll(QStringLiteral("--substitui")) > 0;
    const bool lista = argumentos.removeAll(QStringLiteral("--lista")) > 0;
    if (argumentos.size() != 1 || argumentos[0].startsWith('-') || (lista && substitui)) {
        erro << "Uso: cria-posto [--substitui] CAMINHO\n"
                "     cria-posto --lista CAMINHO\n"
                "Cria um banco de posto de demonstração (Firebird embutido) no arquivo CAMINHO,\n"
                "ou lista os abastecimentos que ele guarda.\n";
        return 2;
    }
    const QString caminho = QFileInfo(argumentos[0]).absoluteFilePath();
    if (lista) {
        try {
            return ListaAbastecimentos(caminho);
        } catch (const EErro& e) {
            erro << "Erro ao ler os abastecimentos: " << e.Mensagem() << "\n";
            return 1;
        }
    }
    if (QFileInfo::exists(caminho)) {
        if (!substitui) {
            erro << "O arquivo " << caminho << " já existe; use --substitui para recriá-lo.\n";
            return 1;
        }
        if (!QFile::remove(caminho)) {
            erro << "Não foi possível apagar " << caminho << "\n";
            return 1;
        }
    }
    try {
        CriaBancoPosto(caminho, true);
    } catch (const EErro& e) {
        erro << "Erro ao criar o banco do posto: " << e.Mensagem() << "\n";
        return 1;
    }
    QTextStream(stdout) << "Banco do posto criado em " << caminho << "\n";
    return 0;
}
