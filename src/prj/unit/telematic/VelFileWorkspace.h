#pragma once
// Everything one telematic supply is made from, without a window: the named
// datasets templates read (created empty with the record model's fields, then
// filled by the caller: the wizard from the fiscal store, tests directly), the
// field and record tables, the record engine and the passes.
//
//   VelFileWorkspace ws;                 // datasets empty, with their fields
//   fill ws.dataSet("cdsDip"), ...;      // from the store or by hand
//   ws.engine().setSoftwareProducer(c); // record B (VelTaxCode: from the ini)
//   ws.loadTemplates();                  // Record_A.xml ... Record_Z.xml
//   ws.generate(ws.allRows());           // field rows of C, D, G, H
//   ws.writeSupply(path);                // records assembled, file(s) written
#include "src/prj/unit/telematic/VelFileGenerator.h"
#include "src/prj/unit/telematic/VelUFileUtil.h"

#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

class TClientDataSet;

class VelFileWorkspace
{
public:
    VelFileWorkspace();
    ~VelFileWorkspace();
    VelFileWorkspace(const VelFileWorkspace &) = delete;
    VelFileWorkspace &operator=(const VelFileWorkspace &) = delete;

    // A dataset by its name (VelFileCds); EAssertionFailed when there is none.
    TClientDataSet &dataSet(const QString &name);
    TVelFileDataSets &dataSets() { return m_dataSets; }
    TVelFileUtil &engine() { return *m_engine; }
    TVelFileGenerator &generator() { return *m_generator; }
    TClientDataSet &fieldTable() { return *m_fieldTable; }
    TClientDataSet &recordTable() { return *m_recordTable; }

    void loadTemplates(const QString &dir = QString()) { m_generator->loadTemplates(dir); }
    QList<int> allRows();

    // Field rows of the visited certifications (rows of cdsDip, from 1).
    void generate(const QList<int> &rows);
    // Records assembled from the field rows, then the supply file(s) written;
    // returns the files.
    QStringList writeSupply(const QString &fileName, const std::function<void(const QString &)> &warn = {});

private:
    TVelFileDataSets m_dataSets;
    std::vector<std::unique_ptr<TClientDataSet>> m_owned;
    std::unique_ptr<TClientDataSet> m_fieldTable;
    std::unique_ptr<TClientDataSet> m_recordTable;
    std::unique_ptr<TVelFileUtil> m_engine;
    std::unique_ptr<TVelFileGenerator> m_generator;
};
