#pragma once
// The edit frame of a camera: its solutions (new, rename, delete, use), the workflows of the
// solution being edited (new, settings, delete, clear) and their nodes (add from the tool
// dialog, remove, move), each node's parameter page, test once or keep testing with the
// regions found drawn on the image, and saving the solution. Every reader call is asynchronous;
// every question goes through the UI service.
#include "IPluginWidget.h"
#include "KxSolutionDocument.h"
#include "KxVisionControls.h"
#include "KxVisionTools.h"

#include <QPointer>
#include <memory>

class KxDeviceConnector;
class KxPropertyWidget;
class KxVisionSolution;
class QLabel;
class QListWidget;
class QPushButton;
class QSpinBox;
class QTableWidget;
class VisionImageView;
struct KxVisionResult;

class VisionEditFrame : public IPluginWidget, public IKxVisionEditContext
{
    Q_OBJECT
public:
    explicit VisionEditFrame(QWidget *parent = nullptr);
    ~VisionEditFrame() override;
    static VisionEditFrame *live();
    QPointer<KxDeviceConnector> connector() const { return m_connector; }

    bool openDevice(QPointer<KxDeviceConnector> connector, const QVariant &param) override;

    // What the buttons do (public for tests and the demo).
    void newSolution();
    void renameSolution();
    void deleteSolution();
    void useSolution();
    void editSolution(const QString &solId);
    void newWorkflow();
    void workflowSettings();
    void deleteWorkflow();
    void clearWorkflow();
    void addNode();
    void addNodeOf(const QString &toolId);
    void removeNode();
    void moveNode(int delta);
    void testOnce();
    void toggleTest();
    // Starts or stops running the solution in use on the camera.
    void toggleRun();
    void save();

    QList<KxVisionWorkflow> workflows() const { return m_flows; }
    int currentWorkflow() const { return m_flow; }
    int currentNode() const { return m_node; }
    void selectWorkflow(int index);
    void selectNode(int index);
    bool isDirty() const { return m_dirty; }
    QString editedSolution() const { return m_solId; }
    const KxVisionTools &tools() const { return m_tools; }
    KxPropertyWidget *propertyWidget() const { return m_prop; }
    VisionImageView *imageView() const { return m_image; }
    QLabel *resultLabel() const { return m_result; }
    QTableWidget *outputTable() const { return m_outputs; }
    QSpinBox *intervalBox() const { return m_interval; }
    QLabel *modeLabel() const { return m_mode; }
    QListWidget *solutionList() const { return m_solutions; }
    QListWidget *workflowList() const { return m_flowList; }
    QListWidget *nodeList() const { return m_nodeList; }
    QPushButton *button(const QString &name) const;

    // For the controls of the node pages.
    KxVisionResource *visionResource() const override;
    QList<QPair<int, QString>> locatorsBefore() const override;
    QImage shownImage() const override;
    QRect drawnRect() const override { return m_drawn; }

signals:
    void signal_goHome();

public slots:
    bool openDeviceById(const QString &deviceId, const QVariant &param) override;
    bool checkLeave() override;
    bool isBusy() override { return m_pending > 0; }
    bool stopBusy() override { return true; }
    bool closing(const QVariant &) override { return true; }

private:
    QPushButton *addButton(QLayout *row, const QString &name, const QString &key);
    void refreshSolutions();
    void refreshWorkflows();
    void refreshNodes();
    void updateButtons();
    void nodeValueChanged(const QString &id);
    void markDirty();
    void showFailure(const QString &text);
    void showResult(const KxVisionResult &r);
    void regionDrawn(const QRect &r);
    KxVisionWorkflow *flow();
    // Runs done when the reader answers; counts what is outstanding.
    std::function<void(bool, const QString &)> pending(std::function<void(bool, const QString &)> done);

    QPointer<KxDeviceConnector> m_connector;
    QPointer<KxVisionSolution> m_solution;
    KxVisionTools m_tools;
    QString m_solId;
    QList<KxVisionWorkflow> m_flows;
    int m_flow = -1;
    int m_node = -1;
    bool m_dirty = false;
    int m_pending = 0;
    std::unique_ptr<KxPagesInfo> m_pages;

    QLabel *m_title;
    QListWidget *m_solutions;
    QListWidget *m_flowList;
    QListWidget *m_nodeList;
    QLabel *m_limits;
    KxPropertyWidget *m_prop;
    VisionImageView *m_image;
    QLabel *m_result;
    QLabel *m_mode;
    QTableWidget *m_outputs;
    QSpinBox *m_interval;
    int m_shown = 0;
    QRect m_drawn;  // results shown, to notice a single test whose frame never came
};
