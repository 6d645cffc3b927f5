#include "src/prj/unit/telematic/VelFileWorkspace.h"

#include "platform/core/OvExceptions.h"
#include "platform/dataset/TClientDataSet.h"
#include "src/prj/unit/model/VelRecordModel.h"
#include "src/prj/unit/telematic/VelFileTables.h"
#include "src/prj/unit/telematic/VelSupplyWriter.h"

VelFileWorkspace::VelFileWorkspace()
{
    const VelRecordModel &model = VelRecordModel::instance();
    for (const VelFileCds::Source &s : VelFileCds::Sources) {
        auto ds = std::make_unique<TClientDataSet>();
        ds->setObjectName(QLatin1String(s.cds));
        model.createDataSet(QLatin1String(s.structure), *ds);
        m_dataSets.add(QLatin1String(s.cds), ds.get());
        m_owned.push_back(std::move(ds));
    }
    m_fieldTable = std::make_unique<TClientDataSet>();
    m_fieldTable->setObjectName(QLatin1String(VelFileCds::FieldFile));
    VelFileTables::createFieldTable(*m_fieldTable);
    m_recordTable = std::make_unique<TClientDataSet>();
    m_recordTable->setObjectName(QLatin1String(VelFileCds::FileTel));
    VelFileTables::createRecordTable(*m_recordTable);
    m_dataSets.add(QLatin1String(VelFileCds::FieldFile), m_fieldTable.get());
    m_dataSets.add(QLatin1String(VelFileCds::FileTel), m_recordTable.get());

    m_engine = std::make_unique<TVelFileUtil>(m_dataSets, *m_fieldTable, *m_recordTable);
    m_generator = std::make_unique<TVelFileGenerator>(m_dataSets, *m_engine);
}

VelFileWorkspace::~VelFileWorkspace() = default;

TClientDataSet &VelFileWorkspace::dataSet(const QString &name)
{
    TClientDataSet *ds = m_dataSets.find(name);
    if (!ds)
        throw EAssertionFailed(QStringLiteral("Dataset %1 non disponibile").arg(name));
    return *ds;
}

QList<int> VelFileWorkspace::allRows()
{
    return TVelFileGenerator::allRows(dataSet(QLatin1String(VelFileCds::Dip)));
}

void VelFileWorkspace::generate(const QList<int> &rows)
{
    m_generator->generate(rows);
}

QStringList VelFileWorkspace::writeSupply(const QString &fileName, const std::function<void(const QString &)> &warn)
{
    m_generator->assemble();
    return VelSupplyWriter::write(*m_recordTable, m_generator->supplyPlaces(), fileName, m_generator->certificationsInSupply(), warn);
}
