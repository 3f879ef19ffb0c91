create table t (id int primary key, g int, v numeric(10,2), d date, b varbinary(8))
insert into t values (1, 1, 1.5, '2024-01-02', 0x0F), (2, 1, 2.25, '2024-02-03', 0xFF)
;with c (n) as (select 1 union all select n + 1 from c where n < 5) select n, row_number() over (order by n desc) from c option (maxrecursion 10)
select g, sum(v) over (partition by g order by id rows between 1 preceding and current row) from t
select g, count(*), grouping(g) from t group by g with rollup
declare @i int declare c cursor local for select id from t open c fetch next from c into @i close c deallocate c
select id into #x from (t join t u on u.id = t.id)
exec sp_executesql N'select @a', N'@a int', 1
