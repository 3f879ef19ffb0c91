create table t (a int primary key, b varchar(10), d datetime, m money, v sql_variant, ts timestamp)
insert t (a, b, d, m, v) values (1, 'x&y', '20240102', $1.50, cast(2 as sql_variant))
merge t as tgt using (select 2 as a, 'z' as b) as s on tgt.a = s.a
when matched then update set b = s.b
when not matched then insert (a, b) values (s.a, s.b)
output $action, inserted.a;
select stuff((select ',' + b from t order by a for xml path(''), type).value('.', 'nvarchar(max)'), 1, 1, '')
select a as '@a', b from t for xml path('r'), root('all')
select a from t except select 1 intersect select 2
declare @i int = 0
again: set @i += 1 if @i < 3 goto again
select value from string_split('a,b,,c', ',') cross apply (select 1 as one) x
create table #r (a int) insert #r exec ('select 1 select 2')
set dateformat dmy set language us_english select isdate('31/12/2024'), power(2.0, -2), datalength(b), parsename('a.b.c', 2) from t
exec sp_dboption 'conformance', 'trunc. log', 'true'
create role r1 grant select on t to r1
