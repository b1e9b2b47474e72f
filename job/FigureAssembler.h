#pragma once
#include "job/Figure.h"

#include <cstdint>
#include <memory>
#include <vector>

// Collects a drawing's figures as the reader gives them, in order: every new
// figure first absorbs the open figures of the list whose ends touch its own
// (in passes over the list until nothing more joins or it has closed), then it
// is dropped when the list already holds the same points in the same order.
//
// The list is kept with indexes (list positions by cell of their ends and by a
// hash of their shape), and open figures keep their points in chains that grow
// at either end and turn round in constant time, so a drawing of many thousand
// touching segments assembles in linear time with the same result as the plain
// passes.
class FigureAssembler {
public:
    FigureAssembler(double tolerance, size_t expectedFigures);
    ~FigureAssembler();
    FigureAssembler(const FigureAssembler&) = delete;
    FigureAssembler& operator=(const FigureAssembler&) = delete;

    // A figure as read, with at least two different points.
    void Add(std::unique_ptr<tfigura> figure);
    // The figures in list order (parameters not computed yet).
    std::vector<std::unique_ptr<tfigura>> Finish();

private:
    class Chain;
    class EndpointIndex;
    struct Entry;

    void Join(Chain& n);
    bool IsDuplicate(const Chain* chain, const std::vector<TFigPoint>& points, uint64_t hash) const;
    // Takes an open figure out of the list and its indexes.
    std::unique_ptr<Chain> TakeOut(int32_t pos);

    double m_tolerance;
    std::vector<Entry> m_list;
    std::unique_ptr<EndpointIndex> m_ends;
    std::unique_ptr<class FlatMultiMap> m_shapes;
};
