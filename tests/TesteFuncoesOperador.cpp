// The services behind the toolbar's capture by ID, clock setting and poll interval, on a real
// station database and the fake concentrator, without a display.
#include "PostoTeste.h"
#include "ServicoCaptura.h"
#include "ServicoRelogio.h"
#include "ServicoTempoLeitura.h"

#include <QCoreApplication>
#include <QSignalSpy>

namespace {

const QStringList kColunas = {"Data", "Hora", "CodBico", "Combustivel", "Litragem", "Valor", "CodProd", "CodGrade",
                              "CodFid", "PrecoUnit", "Desconto", "Emitido", "Id", "Sequencia", "EncerranteFinal"};

QString Caixa(TTipoMensagem tipo, const QString& texto)
{
    return TituloMensagem(tipo) + "|" + texto;
}

QStringList Caixas(const TPostoTeste& posto)
{
    QStringList caixas;
    for (const auto& c : posto.Respondedor.Caixas)
        caixas << Caixa(c.Tipo, c.Texto);
    return caixas;
}

// Each text equals its expected one, or begins with it where the expected one ends in "*".
void Confere(const QStringList& obtidos, const QStringList& esperados)
{
    QCOMPARE(obtidos.size(), esperados.size());
    for (int i = 0; i < obtidos.size(); ++i) {
        const bool prefixo = esperados[i].endsWith('*');
        const bool confere = prefixo ? obtidos[i].startsWith(esperados[i].chopped(1)) : obtidos[i] == esperados[i];
        QVERIFY2(confere, qPrintable("\n" + obtidos[i] + "\n" + esperados[i]));
    }
}

// The capture as its dialog runs it once the operator confirmed: the box it ends in is shown.
void Captura(TLinkor& motor, TPostoTeste& posto, qint32 id)
{
    const TResultadoCaptura resultado = TServicoCaptura(motor).Captura(id, QString::number(id));
    posto.Respondedor.MostraMensagem(resultado.Tipo, resultado.Texto, TBotoes::Ok);
}

} // namespace

class TesteFuncoesOperador : public QObject {
    Q_OBJECT
private slots:
    void CapturaGravaComoUmAbastecimentoLido()
    {
        TPostoTeste posto;
        TLinkor& motor = posto.IniciaMotor();
        QSignalSpy linhas(&motor.Ciclo(), &TCicloLeitura::LinhaLogEscrita);
        posto.Falso->Registros[37] = Abastecimento("44", 10, 58990, 589900, 37, "09/12/2025", "13:10:00", 4321.5);
        Captura(motor, posto, 37);
        QCOMPARE(Caixas(posto), QStringList(Caixa(TTipoMensagem::Informacao, "Abastecimento 37 capturado com sucesso! ")));
        QCOMPARE(posto.Falso->RegistrosPedidos, QList<qint32>{37});
        QCOMPARE(posto.Linhas("Select * From MvAbast", kColunas),
                 QStringList("09/12/2025|13:10:00|03|ÓLEO DIESEL S-10|10|58,99|02|3|<null>|5,899|0|N|37|1|4321,5"));
        const QString linha = " 09/12/2025   13:10:00   03      10,000       5,899      58,99   001  0037   068";
        QCOMPARE(posto.LinhasLog(), QStringList(linha));
        QCOMPARE(linhas.size(), 1);
        QVERIFY(motor.Ciclo().LeituraAtiva());
        QVERIFY(!posto.Contexto->CnTankora().EmTransacao());
    }

    void CapturaQueNadaGrava_data()
    {
        QTest::addColumn<QString>("preparo"); // what the station and the concentrator hold
        QTest::addColumn<QStringList>("caixas");
        QTest::addColumn<QStringList>("erros"); // error-log lines
        QTest::newRow("nao encontrado")
            << ""
            << QStringList({Caixa(TTipoMensagem::Informacao, "Registro de abastecimento nº: 38 não encontrado.")})
            << QStringList();
        QTest::newRow("codigo sem bico")
            << "sem bico"
            << QStringList({Caixa(TTipoMensagem::Alerta, "O abastecimento 38 não foi gravado: nenhum bico do "
                                                                   "posto está ligado ao código 010 do concentrador.")})
            << QStringList("09/12/25 14:03:28 Abastecimento retido no diário (entrada 1): O sistema não encontrou nenhum "
                           "bico relacionado com o concentrador 010 ID: 0038 Dinheiro: 58,99 Litros: 10*");
        QTest::newRow("litros arredondam a zero")
            << "litros zero"
            << QStringList({Caixa(TTipoMensagem::Alerta, "O abastecimento 38 não foi gravado: a litragem ou o "
                                                                   "preço unitário é zero.")})
            << QStringList();
        QTest::newRow("concentrador falha")
            << "falha"
            << QStringList({Caixa(TTipoMensagem::Erro, "Erro ao capturar o abastecimento: 38\rfalha de comunicação")})
            << QStringList();
        // The database's own text varies: an entry ending in "*" is a beginning. A refused capture is
        // held in the journal, like a polled fueling.
        QTest::newRow("banco recusa")
            << "recusa"
            << QStringList({Caixa(TTipoMensagem::Erro, "O abastecimento 38 não foi gravado: Erro ao Gravar o "
                                                       "AbastecimentoErro ao tentar gravar o abastecimento*")})
            << QStringList({"09/12/25 14:03:28 Abastecimento retido no diário (entrada 1): Erro ao Gravar o "
                            "AbastecimentoErro ao tentar gravar o abastecimento*"});
    }
    void CapturaQueNadaGrava()
    {
        QFETCH(QString, preparo);
        QFETCH(QStringList, caixas);
        QFETCH(QStringList, erros);
        TPostoTeste posto;
        if (preparo == "recusa") {
            posto.Executa("Create Exception MVABAST_RECUSADO 'gravação recusada'");
            posto.Executa("Create Trigger RECUSA_MVABAST For MvAbast Before Insert As Begin "
                          "Exception MVABAST_RECUSADO; End");
        }
        TLinkor& motor = posto.IniciaMotor();
        TAbastecimento registro = Abastecimento(preparo == "sem bico" ? "0A" : "44", preparo == "litros zero" ? 0.004 : 10,
                                                58990, 589900, 38);
        if (!preparo.isEmpty())
            posto.Falso->Registros[38] = registro;
        posto.Falso->FalhaRegistro = preparo == "falha";
        Captura(motor, posto, 38);
        Confere(Caixas(posto), caixas);
        Confere(posto.LinhasErro(), erros);
        QCOMPARE(posto.Falso->RegistrosPedidos, QList<qint32>{38});
        QVERIFY(posto.Linhas("Select Id From MvAbast", {"Id"}).isEmpty());
        QVERIFY(posto.Respondedor.Caixas.last().Texto.indexOf("sucesso") < 0);
        QVERIFY(motor.Ciclo().LeituraAtiva());
        QVERIFY(!posto.Contexto->CnTankora().EmTransacao());
    }

    void CapturaRecusaOJaGravado_data()
    {
        QTest::addColumn<bool>("semChave");
        QTest::addColumn<int>("id");
        QTest::newRow("com chave") << false << 37;
        QTest::newRow("sem chave") << true << 37;
        QTest::newRow("9999 com chave") << false << 9999;
        QTest::newRow("9999 sem chave") << true << 9999;
    }
    void CapturaRecusaOJaGravado()
    {
        QFETCH(bool, semChave);
        QFETCH(int, id);
        TPostoTeste posto;
        if (semChave)
            posto.Executa("Alter Table MvAbast Drop Constraint MvAbast_Fueling");
        posto.Executa("Update ParaPosto Set SequenciaAbast = 4");
        TLinkor& motor = posto.IniciaMotor();
        const TAbastecimento registro = Abastecimento("44", 10, 58990, 589900, id, "09/12/2025", "13:10:00");
        posto.Falso->Registros[id] = registro;
        posto.Respondedor.Resposta = TResposta::Sim;
        const QString texto = QString::number(id);
        // Stored first; the capture finds it in MvAbast, and a capture again finds it stored in the
        // journal (no second look at the database, no second line).
        motor.Ciclo().ProcessaAbastecimento(registro);
        Captura(motor, posto, id);
        Captura(motor, posto, id);
        const QString recusa = Caixa(TTipoMensagem::Alerta, "O abastecimento " + texto
                                                                + " já está gravado. Nada foi gravado novamente.");
        QCOMPARE(Caixas(posto), QStringList({recusa, recusa}));
        QCOMPARE(posto.Linhas("Select Id, Sequencia From MvAbast", {"Id", "Sequencia"}),
                 QStringList(texto + "|4"));
        QCOMPARE(posto.Linhas("Select SequenciaAbast From ParaPosto", {"SequenciaAbast"}),
                 QStringList(id == 9999 ? "5" : "4"));
        QCOMPARE(posto.LinhasLog().size(), 1);
        Confere(posto.LinhasErro(),
                QStringList(1, "09/12/25 14:03:28 Abastecimento já gravado, recebido novamente e ignorado: ID: "
                                   + texto.rightJustified(4, '0') + "*"));
        QVERIFY(motor.Ciclo().LeituraAtiva());
    }

    void Captura9999AvancaASequenciaUmaVez()
    {
        TPostoTeste posto;
        posto.Executa("Update ParaPosto Set SequenciaAbast = 4");
        TLinkor& motor = posto.IniciaMotor();
        posto.Falso->Registros[9999] = Abastecimento("44", 10, 58990, 589900, 9999, "09/12/2025", "13:10:00");
        Captura(motor, posto, 9999);
        QCOMPARE(posto.Respondedor.Caixas.last().Texto, QString("Abastecimento 9999 capturado com sucesso! "));
        Captura(motor, posto, 9999);
        QCOMPARE(posto.Linhas("Select Id, Sequencia From MvAbast", {"Id", "Sequencia"}), QStringList("9999|4"));
        QCOMPARE(posto.Linhas("Select SequenciaAbast From ParaPosto", {"SequenciaAbast"}), QStringList("5"));
    }

    void IdDoCampo()
    {
        QCOMPARE(TServicoCaptura::LeId("37"), 37);
        try {
            TServicoCaptura::LeId("");
            QFAIL("sem erro");
        } catch (const EErroConversao& e) {
            QCOMPARE(e.Mensagem(), QString("'' não é um valor inteiro válido"));
        }
    }

    void RelogioPerguntaEAcerta_data()
    {
        QTest::addColumn<bool>("mudo");
        QTest::newRow("acerta") << false;
        QTest::newRow("concentrador mudo") << true;
    }
    void RelogioPerguntaEAcerta()
    {
        QFETCH(bool, mudo);
        TPostoTeste posto;
        posto.Relogio.Momento = QDateTime(QDate(2025, 12, 9), QTime(7, 5, 9));
        posto.IniciaMotor();
        posto.Falso->RelogioMudo = mudo;
        TServicoRelogio servico(*posto.Contexto);
        QCOMPARE(servico.TextoConfirmacao(), QString("Deseja sincronizar a Data/Hora do Concentrador com a Data/Hora do "
                                                     "Sistema?\rData: 09/12/2025\rHora: 07:05:09"));
        bool falhou = false;
        try {
            servico.Acerta();
        } catch (const EErro&) {
            falhou = true;
        }
        QCOMPARE(falhou, mudo);
        QCOMPARE(posto.Falso->AcertosRelogio, 1);
        QVERIFY(posto.Respondedor.Caixas.isEmpty()); // the engine opens no box
    }

    // A clock the concentrator does not take at start-up ends the start (the window's failure path
    // shows it and writes the log line); nothing polls.
    void RelogioMudoNaPartidaEncerraAPartida()
    {
        TPostoTeste posto;
        posto.Executa("Update ParaPosto Set AcertaDataConc = 'S'");
        posto.PreparaFalso = [](TConcentradorFalso& falso) { falso.RelogioMudo = true; };
        TLinkor& motor = posto.CriaMotor();
        try {
            motor.Inicia();
            QFAIL("the start went on");
        } catch (const EErro& e) {
            QCOMPARE(e.Mensagem(), QString("O concentrador não confirmou o acerto da Data/Hora."));
        }
        QCOMPARE(posto.Falso->AcertosRelogio, 1);
        QVERIFY(!motor.Ciclo().LeituraAtiva());
        QVERIFY(posto.Respondedor.Caixas.isEmpty());
    }

    void TempoDeLeitura_data()
    {
        QTest::addColumn<int>("inicial");
        QTest::addColumn<QString>("texto");
        QTest::addColumn<QString>("preparo");
        QTest::addColumn<int>("gravado");
        QTest::addColumn<QString>("caixa");
        const QString erro = "Erro ao tentar alterar o tempo de leitura do concentrador";
        QTest::newRow("OK sem digitar") << 5 << "1" << "" << 1 << "";
        QTest::newRow("30") << 1 << "30" << "" << 30 << "";
        QTest::newRow("partida com 0") << 0 << "1" << "" << 1 << "";
        QTest::newRow("vazio") << 5 << "" << "" << 5 << erro + "'' não é um valor inteiro válido";
        QTest::newRow("zero") << 5 << "0" << "" << 5 << erro + ": o tempo deve ser de pelo menos 1 segundo.";
        // The dialog's field takes two digits; any other road is held to an hour.
        QTest::newRow("uma hora") << 5 << "3600" << "" << 3600 << "";
        QTest::newRow("alem de uma hora") << 5 << "3601" << "" << 5 << erro + ": o tempo deve ser de no máximo 3600 segundos.";
        QTest::newRow("99999") << 5 << "99999" << "" << 5 << erro + ": o tempo deve ser de no máximo 3600 segundos.";
        QTest::newRow("banco recusa") << 5 << "30" << "recusa" << 5 << erro + "\rexception 1\n-TEMPO_RECUSADO\n-tempo recusado*"; // the server on a line of its own
    }
    void TempoDeLeitura()
    {
        QFETCH(int, inicial);
        QFETCH(QString, texto);
        QFETCH(QString, preparo);
        QFETCH(int, gravado);
        QFETCH(QString, caixa);
        TPostoTeste posto;
        posto.Executa(QString("Update ParaPosto Set TEMPOLECONCENTRADOR = %1").arg(inicial));
        if (preparo == "recusa") {
            posto.Executa("Create Exception TEMPO_RECUSADO 'tempo recusado'");
            posto.Executa("Create Trigger RECUSA_TEMPO For ParaPosto Before Update As Begin "
                          "If (New.TEMPOLECONCENTRADOR <> Old.TEMPOLECONCENTRADOR) Then Exception TEMPO_RECUSADO; End");
        }
        TLinkor& motor = posto.IniciaMotor();
        const QTimer& timer = motor.Ciclo().LeConcentrador();
        QCOMPARE(timer.isActive(), inicial > 0);
        const QString erro = TServicoTempoLeitura(motor).AlteraTempo(texto);
        const bool ok = erro.isEmpty();
        QCOMPARE(ok, caixa.isEmpty());
        QCOMPARE(posto.Linhas("Select TEMPOLECONCENTRADOR From ParaPosto", {"TEMPOLECONCENTRADOR"}),
                 QStringList(QString::number(gravado)));
        const int intervalo = (ok ? gravado : inicial) * 1000;
        QCOMPARE(motor.Ciclo().IntervaloLeitura(), intervalo);
        QCOMPARE(timer.interval(), intervalo);
        QCOMPARE(timer.isActive(), intervalo > 0);
        // The countdown starts again from the whole new interval.
        if (ok && gravado == 30)
            QVERIFY2(timer.remainingTime() > 15000, qPrintable(QString::number(timer.remainingTime())));
        if (!ok)
            Confere({erro}, {caixa});
        QVERIFY(posto.Respondedor.Caixas.isEmpty()); // the engine opens no box
        QVERIFY(!posto.Contexto->CnTankora().EmTransacao());
    }
};

int main(int argc, char** argv)
{
    QCoreApplication aplicacao(argc, argv);
    TesteFuncoesOperador teste;
    return QTest::qExec(&teste, argc, argv);
}
#include "TesteFuncoesOperador.moc"
