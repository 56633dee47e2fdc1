#include "Posto.h"

#include "Conexao.h"
#include "Erro.h"
#include "EsquemaPosto.h"
#include "Firebird.h"

#include <QDateTime>
#include <QFileInfo>

using namespace Firebird;

QStringList ComandosEsquemaPosto()
{
    QString texto;
    for (const QString& linha : QString::fromUtf8(EsquemaPostoSql).split('\n'))
        if (!linha.trimmed().startsWith(QStringLiteral("--")))
            texto += linha + '\n';
    QStringList comandos;
    for (const QString& comando : texto.split(';')) {
        const QString limpo = comando.trimmed();
        if (!limpo.isEmpty())
            comandos << limpo;
    }
    return comandos;
}

void CriaBancoVazio(const QString& caminho)
{
    if (QFileInfo::exists(caminho))
        throw EErro(QStringLiteral("O arquivo %1 já existe").arg(caminho));
    TStatusFirebird st;
    IXpbBuilder* dpb = nullptr;
    try {
        dpb = UtilFirebird()->getXpbBuilder(&st, IXpbBuilder::DPB, nullptr, 0);
        dpb->insertString(&st, isc_dpb_user_name, "SYSDBA");
        dpb->insertInt(&st, isc_dpb_sql_dialect, 1);
        dpb->insertInt(&st, isc_dpb_set_db_sql_dialect, 1);
        dpb->insertString(&st, isc_dpb_set_db_charset, "WIN1252");
        dpb->insertString(&st, isc_dpb_lc_ctype, "UTF8");
        dpb->insertInt(&st, isc_dpb_page_size, 8192);
        dpb->insertTag(&st, isc_dpb_utf8_filename);
        const QByteArray arquivo = caminho.toUtf8();
        IAttachment* anexo = ProvedorFirebird()->createDatabase(&st, arquivo.constData(), dpb->getBufferLength(&st),
                                                                dpb->getBuffer(&st));
        dpb->dispose();
        dpb = nullptr;
        anexo->detach(&st);
    } catch (const FbException& erro) {
        if (dpb)
            dpb->dispose();
        throw EErro(MensagemFirebird(erro));
    }
}

namespace {
void Executa(TConexao& conexao, const QString& sql, const QVariantList& valores = {})
{
    TConsulta comando(&conexao);
    comando.DefineSQL(sql);
    for (int i = 0; i < valores.size(); ++i) {
        const QString nome = QStringLiteral("P%1").arg(i + 1);
        const QVariant& valor = valores[i];
        switch (valor.typeId()) {
        case QMetaType::Int:
        case QMetaType::LongLong:
            comando.DefineInteiro(nome, valor.toLongLong());
            break;
        case QMetaType::Double:
            comando.DefineDouble(nome, valor.toDouble());
            break;
        case QMetaType::QDate:
            comando.DefineData(nome, valor.toDate());
            break;
        case QMetaType::QString:
            comando.DefineTexto(nome, valor.toString());
            break;
        default:
            comando.DefineNuloTexto(nome);
            break;
        }
    }
    comando.Executa();
}

void PreencheDemo(TConexao& conexao)
{
    TGuardaTransacao transacao(conexao);
    Executa(conexao,
            QStringLiteral("INSERT INTO ParaPosto (SequenciaAbast, UsaConcentrador, PortaConc, AcertaDataConc, "
                           "TEMPOLECONCENTRADOR, ImpreDescBico, visualizastatusbomba, CorrigeLitragem) "
                           "VALUES (1, 'S', 'COM1', 'N', 1, 'N', 'S', 'N')"));

    const QString produto = QStringLiteral("INSERT INTO Produto (CodProd, Descricao) VALUES (:P1, :P2)");
    Executa(conexao, produto, {QStringLiteral("01"), QStringLiteral("GASOLINA COMUM")});
    Executa(conexao, produto, {QStringLiteral("02"), QStringLiteral("ÓLEO DIESEL S-10")});
    Executa(conexao, produto, {QStringLiteral("03"), QStringLiteral("ETANOL HIDRATADO")});
    Executa(conexao, produto, {QStringLiteral("04"), QStringLiteral("GASOLINA ADITIVADA")});

    const QString tanque = QStringLiteral("INSERT INTO Tanques (CodTanque, CodProd) VALUES (:P1, :P2)");
    Executa(conexao, tanque, {QStringLiteral("1/2"), QStringLiteral("01")});
    Executa(conexao, tanque, {QStringLiteral("3"), QStringLiteral("02")});
    Executa(conexao, tanque, {QStringLiteral("4"), QStringLiteral("03")});
    Executa(conexao, tanque, {QStringLiteral("5"), QStringLiteral("04")});

    // Concentrator codes: the two hexadecimal digits of the concentrator's nozzle number written in
    // decimal (04 -> 004, 44 -> 068, 84 -> 132, C4 -> 196), two nozzles on each of channels 1 to 4.
    const QString bico = QStringLiteral("INSERT INTO Bombas (CodBico, Descricao, CodTanque, CodConcentrador, "
                                        "PrecoVenda, EncerranteIni, statusbico) VALUES (:P1, :P2, :P3, :P4, :P5, :P6, :P7)");
    struct TBico {
        const char* Codigo;
        const char* Descricao;
        const char* Tanque;
        const char* Concentrador;
        double Preco;
        double Encerrante;
    };
    const TBico bicos[] = {
        {"01", "BICO 01 GASOLINA COMUM", "1/2", "004", 6.19, 152340.125},
        {"02", "BICO 02 GASOLINA COMUM", "1/2", "005", 6.19, 98765.5},
        {"03", "BICO 03 ÓLEO DIESEL S-10", "3", "068", 5.99, 254001.75},
        {"04", "BICO 04 ÓLEO DIESEL S-10", "3", "069", 5.99, 187220.0},
        {"05", "BICO 05 ETANOL HIDRATADO", "4", "132", 4.29, 65432.25},
        {"06", "BICO 06 ETANOL HIDRATADO", "4", "133", 4.29, 43210.0},
        {"07", "BICO 07 GASOLINA ADITIVADA", "5", "196", 6.49, 31000.5},
        {"08", "BICO 08 GASOLINA ADITIVADA", "5", "197", 6.49, 27500.0},
    };
    for (const TBico& b : bicos)
        Executa(conexao, bico,
                {QString::fromUtf8(b.Codigo), QString::fromUtf8(b.Descricao), QString::fromUtf8(b.Tanque),
                 QString::fromUtf8(b.Concentrador), b.Preco, b.Encerrante, QStringLiteral("L")});
    // a nozzle the concentrator does not serve
    Executa(conexao, bico,
            {QStringLiteral("09"), QStringLiteral("BICO 09 ARLA 32 (MANUAL)"), QStringLiteral("5"), QVariant(), 3.99,
             0.0, QVariant()});

    // One open shift covering the day the station is created and the month after it, so the
    // totalizer capture finds it whenever the demo is tried. A shift counts as covering the
    // moment only with its planned end filled in.
    const QDate hoje = QDate::currentDate();
    Executa(conexao, QStringLiteral("INSERT INTO TURNOS (CODTURNO, DESCRICAO) VALUES ('1', :P1)"),
            {QStringLiteral("MANHÃ")});
    Executa(conexao, QStringLiteral("INSERT INTO VENDEND (CODVENDEDOR, NOME) VALUES ('001', :P1)"),
            {QStringLiteral("JOSÉ DA SILVA")});
    Executa(conexao,
            QStringLiteral("INSERT INTO MvTurno (Controle, CODEMPRESA, CodTurno, CODVENDEDOR, DTMOVIMENTO, "
                           "HRABERTURA, DtTermino, HrTermino, STATUS) "
                           "VALUES ('000001', '00', '1', '001', :P1, :P2, :P3, :P4, 'N')"),
            {hoje, hoje.toString(QStringLiteral("dd.MM.yyyy")) + QStringLiteral(" 00:00:00"), hoje.addDays(30),
             hoje.addDays(30).toString(QStringLiteral("dd.MM.yyyy")) + QStringLiteral(" 23:59:59")});
    transacao.Confirma();
}
} // namespace

void CriaBancoPosto(const QString& caminho, bool comDadosDemo)
{
    CriaBancoVazio(caminho);
    TConexao conexao;
    conexao.DefineParametro(QStringLiteral("Database"), caminho);
    conexao.DefineParametro(QStringLiteral("RoleName"), QString());
    conexao.Conecta();
    for (const QString& comando : ComandosEsquemaPosto())
        Executa(conexao, comando); // each committed by itself: later statements need the tables
    if (comDadosDemo)
        PreencheDemo(conexao);
    conexao.Desconecta();
}
